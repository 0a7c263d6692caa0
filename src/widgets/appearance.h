#pragma once
// The look every window of the program shares: right to left, a font with good
// Persian shapes, and Qt's own Persian texts on standard buttons.
class QApplication;

namespace tarvest {

void applyInterfaceLook(QApplication& app);

} // namespace tarvest
