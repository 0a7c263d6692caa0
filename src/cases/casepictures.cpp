#include "cases/casepictures.h"

#include "cases/core/casepictures.h"
#include "common/errors.h"
#include "db/database.h"
#include "db/resultset.h"
#include "db/settinglists.h"
#include "widgets/background.h"
#include "widgets/conventions.h"
#include "widgets/dialogs.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QVBoxLayout>

namespace tarvest {

namespace {

const QString kAskDescription = QStringLiteral("ابتدا شرح ضميمه را وارد نماييد");
const QString kWrongPassword = QStringLiteral("كلمه عبور را اشتباه وارد نموديد");
const QString kConfirmDelete = QStringLiteral("آيا ضميمه حذف شود؟");
const QString kDeleted = QStringLiteral("حذف شد");

// The round status light of the last store: white while storing or after a failure,
// green once the file is stored.
class StatusLight final : public QWidget {
public:
    StatusLight()
    {
        setFixedSize(18, 18);
        setColor(Qt::white);
    }
    void setColor(const QColor& color)
    {
        m_color = color;
        setProperty("color", color);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(Qt::darkGray, 1));
        p.setBrush(m_color);
        p.drawEllipse(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5));
    }

private:
    QColor m_color;
};

} // namespace

struct Tkomision_pic::Impl {
    Session& session;
    qint64 casePk = 0;
    ResultSet list; // the case's attachments, without their bytes
    ResultSetModel* model = nullptr;
    QTableView* grid = nullptr;
    QProgressBar* progress = nullptr; // storing or saving a file
    QAction* remove = nullptr;
    QComboBox* cmt = nullptr;
    QPushButton* store = nullptr;
    StatusLight* light = nullptr;
    QCheckBox* openAfterSave = nullptr;

    explicit Impl(Session& s) : session(s) {}

    void reopen()
    {
        list.setDatabase(session.db());
        try {
            list.open(casePicturesQuery(), {casePk}, QStringLiteral("komision_pic"));
        } catch (const Error& e) {
            Dialogs::instance().error(e.message());
        }
    }
    void arrangeColumns()
    {
        for (int i = 0; i < list.fieldCount(); ++i) {
            const QString name = list.fieldName(i).toLower();
            grid->setColumnHidden(i, name != QLatin1String("cmt") && name != QLatin1String("ext"));
            if (name == QLatin1String("cmt"))
                grid->setColumnWidth(i, 200);
        }
    }
    // The row the user points at: the grid's current row, else the list's current one.
    bool selectRow(int row)
    {
        if (row < 0 || row >= list.recordCount())
            return false;
        return list.moveTo(row + 1);
    }
};

Tkomision_pic::Tkomision_pic(Session& session, QWidget* parent) : QDialog(parent), d(std::make_unique<Impl>(session))
{
    setObjectName(QStringLiteral("Tkomision_pic"));
    setWindowTitle(QStringLiteral("ضمائم"));
    setLayoutDirection(Qt::RightToLeft);
    d->list.setObjectName(QStringLiteral("ADOQ_pic"));

    d->cmt = new QComboBox;
    d->cmt->setObjectName(QStringLiteral("cmt"));
    d->cmt->setEditable(true);
    d->cmt->setInsertPolicy(QComboBox::NoInsert);
    d->cmt->lineEdit()->setMaxLength(150);
    d->cmt->setMinimumWidth(220);

    d->store = new QPushButton(QStringLiteral("ثبت"));
    d->store->setObjectName(QStringLiteral("ins_btn"));

    d->light = new StatusLight;
    d->light->setObjectName(QStringLiteral("Shape1"));

    d->openAfterSave = new QCheckBox(QStringLiteral("پس از ذخيره باز شود"));
    d->openAfterSave->setObjectName(QStringLiteral("CheckBox1"));
    d->openAfterSave->setChecked(true);

    d->model = new ResultSetModel(&d->list, this);
    d->model->setTitles({{QStringLiteral("pk"), QStringLiteral("pk")},
                         {QStringLiteral("cod"), QStringLiteral("کد پروژه")},
                         {QStringLiteral("cmt"), QStringLiteral("شرح ضميمه")},
                         {QStringLiteral("ext"), QStringLiteral("فرمت")}});
    d->grid = new QTableView;
    d->grid->setObjectName(QStringLiteral("DBGrid1"));
    d->grid->setModel(d->model);
    setUpListGrid(d->grid);
    d->grid->setContextMenuPolicy(Qt::ActionsContextMenu);
    d->remove = new QAction(QStringLiteral("حذف"), d->grid);
    d->remove->setObjectName(QStringLiteral("delete_row"));
    d->grid->addAction(d->remove);

    auto* label = new QLabel(QStringLiteral("شرح ضميمه"));
    label->setBuddy(d->cmt);
    auto* top = new QHBoxLayout;
    top->addWidget(label);
    top->addWidget(d->cmt, 1);
    top->addWidget(d->store);
    top->addWidget(d->light);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(d->openAfterSave);
    layout->addWidget(d->grid, 1);
    d->progress = new QProgressBar;
    d->progress->setObjectName(QStringLiteral("progress"));
    d->progress->setTextVisible(false);
    d->progress->hide();
    layout->addWidget(d->progress);
    resize(460, 320);

    connect(d->store, &QPushButton::clicked, this, &Tkomision_pic::storeFile);
    connect(d->remove, &QAction::triggered, this, &Tkomision_pic::deleteSelected);
    connect(d->grid, &QTableView::clicked, this, [this](const QModelIndex& index) { saveAndOpen(index.row()); });
    connect(&d->list, &ResultSet::reset, this, [this] { d->arrangeColumns(); });
}

Tkomision_pic::~Tkomision_pic() = default;

void Tkomision_pic::openFor(qint64 casePk, const PageRights& rights)
{
    d->casePk = casePk;
    d->store->setVisible(rights.insert);
    d->remove->setEnabled(rights.remove);
    d->cmt->setEditText(QString());
    d->light->setColor(Qt::white);
    d->reopen();
}

void Tkomision_pic::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (Database* db = d->session.db()) {
        const QString typed = d->cmt->currentText();
        try {
            const QStringList choices = settingChoices(*db, lists::CommissionAttachments);
            d->cmt->clear();
            d->cmt->addItems(choices);
        } catch (const Error& e) {
            Dialogs::instance().error(e.message());
        }
        d->cmt->setEditText(typed);
    }
}

void Tkomision_pic::storeFile()
{
    Database* db = d->session.db();
    if (!db || d->store->isHidden()) // no insert right
        return;
    const QString description = d->cmt->currentText();
    if (description.trimmed().isEmpty()) {
        Dialogs::instance().message(kAskDescription);
        return;
    }
    d->light->setColor(Qt::white);
    const QString path = Dialogs::instance().openFileName(QStringLiteral("انتخاب فایل ضميمه"),
                                                          QStringLiteral("All Files (*)"));
    if (path.isEmpty())
        return;
    try {
        // A file of tens of megabytes goes in pieces through a connection of its own, off
        // the window's thread; the window shows how far it is and takes no commands meanwhile.
        const qint64 casePk = d->casePk;
        setEnabled(false);
        const auto enable = qScopeGuard([this] { setEnabled(true); });
        runOffTheWindowThread(d->progress, [&](const WorkProgress& progress) {
            const std::unique_ptr<Database> own = db->openAnother();
            storeCasePicture(*own, casePk, path, description, progress);
        });
    } catch (const Error& e) {
        Dialogs::instance().warning(e.message());
        return;
    }
    d->light->setColor(Qt::green);
    d->reopen();
    d->list.last();
}

void Tkomision_pic::saveAndOpen(int row)
{
    Database* db = d->session.db();
    if (!db || !d->selectRow(row))
        return;
    const qint64 pk = d->list.asInteger(QStringLiteral("pk"));
    const QString name = Dialogs::instance().saveFileName(
        QStringLiteral("ذخيره ضميمه"), d->list.asString(QStringLiteral("cmt")), QStringLiteral("All Files (*)"));
    if (name.isEmpty())
        return;
    QString written;
    try {
        setEnabled(false);
        const auto enable = qScopeGuard([this] { setEnabled(true); });
        runOffTheWindowThread(d->progress, [&](const WorkProgress& progress) {
            const std::unique_ptr<Database> own = db->openAnother();
            written = saveCasePicture(*own, pk, name, progress);
        });
    } catch (const Error& e) {
        Dialogs::instance().warning(e.message());
        return;
    }
    if (d->openAfterSave->isChecked() && !Dialogs::instance().openWithSystem(written))
        Dialogs::instance().warning(
            QStringLiteral(
                "فایل %1 ذخیره شد، اما برنامه‌ای برای باز کردن آن پیدا نشد.")
                .arg(written));
}

void Tkomision_pic::deleteSelected()
{
    Database* db = d->session.db();
    if (!db || !d->remove->isEnabled())
        return;
    const QModelIndex current = d->grid->currentIndex();
    if (current.isValid() ? !d->selectRow(current.row()) : d->list.isEmpty())
        return;
    const qint64 pk = d->list.asInteger(QStringLiteral("pk"));
    try {
        const QString password = settingValue(*db, lists::DeletePassword);
        const QString answer = Dialogs::instance().input(QStringLiteral("Password"), QStringLiteral("کلمه عبور"),
                                                         QStringLiteral("?"), true);
        if (answer != password) {
            Dialogs::instance().message(kWrongPassword);
            return;
        }
        if (Dialogs::instance().question(kConfirmDelete) != Dialogs::Answer::Yes)
            return;
        deleteCasePicture(*db, pk);
        Dialogs::instance().message(kDeleted);
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
    d->reopen();
}

} // namespace tarvest
