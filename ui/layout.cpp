#include "ui/layout.h"

#include "assets/catalogue.h"
#include "base/dpi.h"
#include "ui/control_names.h"

namespace kivora::ui {
namespace {

constexpr int kGridColumns = 5;
constexpr int kColumnLefts[kGridColumns] = {7, 84, 161, 238, 315};
constexpr int kRowTops[] = {33, 75, 116, 158};

void AddBuiltinButtons(std::vector<ControlSpec>& layout) {
  for (const CatalogueEntry& entry : Catalogue()) {
    int index = (entry.number - 1) % kSoundsPerPage;
    GridCell cell = ButtonGridCell(index / kGridColumns, index % kGridColumns);
    layout.push_back({.name = std::wstring(entry.buttonName), .kind = ControlKind::PushButton, .page = PageOf(entry),
                      .left = cell.left, .top = cell.top, .width = kGridButtonWidth, .height = kGridButtonHeight,
                      .caption = std::wstring(CaptionOf(entry)), .tabStop = true});
  }
}

void AddCustomSlots(std::vector<ControlSpec>& layout) {
  for (int n = 1; n <= kCustomSlotCount; ++n) {
    GridCell cell = ButtonGridCell((n - 1) / kGridColumns, (n - 1) % kGridColumns);
    layout.push_back({.name = CustomSlotName(n), .kind = ControlKind::PushButton, .page = kCustomPage,
                      .left = cell.left, .top = cell.top, .width = kGridButtonWidth, .height = kGridButtonHeight,
                      .caption = std::wstring(kEmptySlotCaption), .tabStop = true});
  }
}

std::wstring Name(std::wstring_view name) { return std::wstring(name); }

std::vector<ControlSpec> BuildLayout() {
  using K = ControlKind;
  std::vector<ControlSpec> layout = {
      {.name = Name(kSponsorLink), .kind = K::HyperlinkLabel, .left = 286, .top = 44, .width = 30, .height = 16,
       .caption = L"赞助"},
      {.name = Name(kAlwaysOnTopBox), .kind = K::CheckBox, .left = 319, .top = 44, .width = 70, .height = 20,
       .caption = L"总是最上", .tabStop = true},
      {.name = Name(kVolumeCaption), .kind = K::Label, .left = 6, .top = 250, .width = 52, .height = 20,
       .caption = L"音量控制", .disabled = true},
      {.name = Name(kVolumeSlider), .kind = K::Slider, .left = 60, .top = 248, .width = 196, .height = 24,
       .tabStop = true},
      {.name = Name(kVolumeLabel), .kind = K::Label, .left = 254, .top = 250, .width = 38, .height = 20,
       .caption = L"100%", .disabled = true},
      {.name = Name(kMuteButton), .kind = K::PictureButton, .left = 294, .top = 247, .width = 26, .height = 26,
       .tabStop = true},
      {.name = Name(kPauseButton), .kind = K::PushButton, .left = 322, .top = 247, .width = 62, .height = 26,
       .caption = L"停止播放", .tabStop = true},
  };
  AddBuiltinButtons(layout);
  AddCustomSlots(layout);
  layout.push_back({.name = Name(kInstructionsLabel), .kind = K::Label, .page = kInstructionsPage, .left = 6,
                    .top = 27, .width = 380, .height = 172, .caption = InstructionsText(), .disabled = true,
                    .wordWrap = true});
  layout.push_back({.name = Name(kPageTabs), .kind = K::TabControl, .left = 0, .top = 40, .width = 393, .height = 202});
  layout.push_back({.name = Name(kBanner), .kind = K::PictureBox, .left = 0, .top = 0, .width = 390, .height = 37});
  return layout;
}

}  // namespace

const std::vector<ControlSpec>& MainWindowLayout() {
  static const std::vector<ControlSpec> layout = BuildLayout();
  return layout;
}

RECT ControlRectAt(const ControlSpec& spec, int dpi) {
  POINT origin{0, 0};
  if (spec.page != kOnWindow) {
    for (const ControlSpec& tabs : MainWindowLayout()) {
      if (tabs.name == kPageTabs) origin = {ScaleToDpi(tabs.left, dpi), ScaleToDpi(tabs.top, dpi)};
    }
  }
  const int left = origin.x + ScaleToDpi(spec.left, dpi);
  const int top = origin.y + ScaleToDpi(spec.top, dpi);
  return {left, top, left + ScaleToDpi(spec.width, dpi), top + ScaleToDpi(spec.height, dpi)};
}

SIZE OuterSizeAt(int dpi) {
  const WindowSpec window;
  return {ScaleToDpi(window.outerWidth, dpi), ScaleToDpi(window.outerHeight, dpi)};
}

std::wstring CustomSlotName(int n) { return L"按钮" + std::to_wstring(n); }

GridCell ButtonGridCell(int row, int column) {
  GridCell cell{kColumnLefts[column], kRowTops[row]};
  // The hand-placed grid is off by one pixel in three places.
  if (row >= 2 && column == 3) cell.left = 239;
  if (row == 2 && (column == 1 || column == 2)) cell.top = 117;
  return cell;
}

std::wstring InstructionsText() {
  const std::wstring rule(76, L'-');
  return L"1.自定义界面，无音源时，鼠标【左键单击】按钮可添加单个按钮音源\r\n"
         L"2.自定义界面，有音源时，鼠标【左键双击】按钮可更换单个按钮音源\r\n"
         L"3.自定义界面，有音源时，鼠标【右键单击】按钮可清空单个按钮音源\r\n"
         L"4.导入文件的文件名【越短越好】，毕竟...按钮就那么大\r\n"
         L"5.如果修改了音源文件位置，请参考【第一条】\r\n"
         L"6.本程序自带【靠边自动隐藏】功能\r\n"
         L"7.本程序所有文件存放在：【...我的文档\\Kivora】\r\n" +
         rule +
         L"\r\n"
         L"★内置音效均为原创制作，可在直播中自由使用。\r\n"
         L"★自定义音效仅保存文件路径，请勿移动或删除原文件。\r\n" +
         rule +
         L"\r\n"
         L"联系我们：kivora.link/support";
}

}  // namespace kivora::ui
