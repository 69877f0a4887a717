#include "ui/control_kinds.h"

namespace kivora::ui {

// The box has already changed its tick when it reports the click.
void CheckBox::OnCommand(WORD code) {
  if (code == BN_CLICKED) FireIfBound(Events().clicked);
}

bool CheckBox::Checked() const { return SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void CheckBox::SetChecked(bool checked) {
  SendMessageW(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace kivora::ui
