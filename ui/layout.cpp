#include "ui/layout.h"

#include "assets/catalogue.h"

namespace kivora::ui {
namespace {

constexpr int kGridColumns = 5;
constexpr int kColumnLefts[kGridColumns] = {7, 84, 161, 238, 315};
constexpr int kRowTops[] = {33, 75, 116, 158};

void AddBuiltinButtons(std::vector<ControlSpec>& layout) {
  for (const CatalogueEntry& entry : Catalogue()) {
    int index = (entry.number - 1) % kSoundsPerPage;
    GridCell cell = ButtonGridCell(index / kGridColumns, index % kGridColumns);
    layout.push_back({std::wstring(entry.buttonName), ControlKind::PushButton, PageOf(entry), cell.left, cell.top,
                      kGridButtonWidth, kGridButtonHeight, std::wstring(CaptionOf(entry)), true});
  }
}

void AddCustomSlots(std::vector<ControlSpec>& layout) {
  for (int n = 1; n <= kCustomSlotCount; ++n) {
    GridCell cell = ButtonGridCell((n - 1) / kGridColumns, (n - 1) % kGridColumns);
    layout.push_back({CustomSlotName(n), ControlKind::PushButton, kCustomPage, cell.left, cell.top, kGridButtonWidth,
                      kGridButtonHeight, std::wstring(kEmptySlotCaption), true});
  }
}

std::vector<ControlSpec> BuildLayout() {
  using K = ControlKind;
  std::vector<ControlSpec> layout = {
      {L"超级链接框2", K::HyperlinkLabel, kOnWindow, 286, 44, 30, 16, L"赞助"},
      {L"选择框1", K::CheckBox, kOnWindow, 319, 44, 70, 20, L"总是最上", true},
      {L"标签1", K::Label, kOnWindow, 6, 250, 52, 20, L"音量控制", false, true},
      {L"滑块条1", K::Slider, kOnWindow, 60, 248, 196, 24, L"", true},
      {L"标签2", K::Label, kOnWindow, 254, 250, 38, 20, L"100%", false, true},
      {L"按钮22", K::PictureButton, kOnWindow, 294, 247, 26, 26, L"", true},
      {L"按钮21", K::PushButton, kOnWindow, 322, 247, 62, 26, L"停止播放", true},
  };
  AddBuiltinButtons(layout);
  AddCustomSlots(layout);
  layout.push_back({L"标签3", K::Label, kInstructionsPage, 6, 27, 380, 172, InstructionsText(), false, true, true});
  layout.push_back({L"选择夹1", K::TabControl, kOnWindow, 0, 40, 393, 202, L""});
  layout.push_back({L"图片框1", K::PictureBox, kOnWindow, 0, 0, 390, 37, L""});
  return layout;
}

}  // namespace

const std::vector<ControlSpec>& MainWindowLayout() {
  static const std::vector<ControlSpec> layout = BuildLayout();
  return layout;
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
