// Minimal bodies of the case screens whose full versions are being built; each is
// replaced by its own file as it lands.
#include "cases/caseentry.h"

namespace tarvest {

struct Tkomision::Impl {};
Tkomision::Tkomision(Session&, QWidget* parent) : QDialog(parent) { setObjectName(QStringLiteral("Tkomision")); }
Tkomision::~Tkomision() = default;
void Tkomision::prepareNew() {}
bool Tkomision::prepareEdit() { return false; }
void Tkomision::saveNew() {}
void Tkomision::saveEdit() {}

} // namespace tarvest
