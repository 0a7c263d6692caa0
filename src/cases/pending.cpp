// Minimal bodies of the case screens whose full versions are being built; each is
// replaced by its own file as it lands.
#include "cases/caseentry.h"
#include "cases/casepictures.h"

namespace tarvest {

struct Tkomision::Impl {};
Tkomision::Tkomision(Session&, QWidget* parent) : QDialog(parent) { setObjectName(QStringLiteral("Tkomision")); }
Tkomision::~Tkomision() = default;
void Tkomision::prepareNew() {}
bool Tkomision::prepareEdit() { return false; }
void Tkomision::saveNew() {}
void Tkomision::saveEdit() {}

struct Tkomision_pic::Impl {};
Tkomision_pic::Tkomision_pic(Session&, QWidget* parent) : QDialog(parent) { setObjectName(QStringLiteral("Tkomision_pic")); }
Tkomision_pic::~Tkomision_pic() = default;
void Tkomision_pic::openFor(qint64, const PageRights&) {}
void Tkomision_pic::storeFile() {}
void Tkomision_pic::saveAndOpen(int) {}
void Tkomision_pic::deleteSelected() {}

} // namespace tarvest
