// The instructions page gets more room: the tab control grows and the volume row
// hides. Runs on a click on the tab control, after the click changed the page.
#pragma once

namespace kivora::ui {

class MainWindow;

void ApplyPageLayout(MainWindow& window);

}  // namespace kivora::ui
