// The main window as screen readers see it (AT-SPI): besides its controls,
// the popup menus it owns (the directory button's and the list's) are its
// children while they are open, and their items can be found and pressed by
// their texts. Qt lists no popup menu as anyone's child.
#pragma once

namespace tv {

/// Makes every MainWindow and its own popup menus accessible this way;
/// called before the first window is built (calling it again does nothing).
void InstallWindowAccessibility();

}  // namespace tv
