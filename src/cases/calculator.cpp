#include "cases/calculator.h"

#include "cases/core/valuation.h"
#include "common/digits.h"
#include "common/errors.h"
#include "widgets/conventions.h"
#include "widgets/dialogs.h"
#include "widgets/numericedits.h"

#include <QButtonGroup>
#include <QEvent>
#include <QFocusEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace tarvest {

namespace {

// The option group: which rounding of the property value "ارزش ملك" shows.
enum Rounding { Nearest = 0, Up = 1, Down = 2, TwoDigits = 3 };

// Desktop calculators, in the order they are tried.
const char* const kDesktopCalculators[] = {"gnome-calculator", "kcalc", "galculator", "xcalc"};

QString notANumber()
{
    return QStringLiteral("مقدار وارد شده عدد نيست");
}

} // namespace

struct Thesab::Impl : QObject {
    Thesab* q = nullptr;
    TRealEdit* metraj2 = nullptr;
    TMonEdit* price_metr2 = nullptr;
    QGroupBox* radioGroup = nullptr;
    QButtonGroup* options = nullptr;
    QLabel* roundings[4] = {};
    QPushButton* bitBtn1 = nullptr;
    QToolButton* speedButton1 = nullptr;
    QLineEdit* price_total = nullptr;
    TMonEdit* price_malek2 = nullptr;
    QLineEdit* price_malek = nullptr;
    QLineEdit* metraj = nullptr; // hidden working copies
    QLineEdit* price_metr = nullptr;
    QLineEdit* price_total2 = nullptr;

    template <typename T>
    T* named(T* w, const char* name)
    {
        w->setObjectName(QString::fromLatin1(name));
        return w;
    }

    explicit Impl(Thesab* dialog) : QObject(dialog), q(dialog)
    {
        q->setWindowTitle(QStringLiteral("محاسبه"));
        q->setLayoutDirection(Qt::RightToLeft);

        metraj2 = named(new TRealEdit, "metraj2");
        price_metr2 = named(new TMonEdit, "price_metr2");
        auto* inputs = new QFormLayout;
        inputs->addRow(QStringLiteral("متراژ زمين"), metraj2);
        inputs->addRow(QStringLiteral("قيمت هر متر مربع"), price_metr2);

        radioGroup = named(new QGroupBox(QStringLiteral("نحوه محاسبه")), "RadioGroup1");
        options = new QButtonGroup(radioGroup);
        auto* grid = new QGridLayout(radioGroup);
        const QString captions[4] = {QStringLiteral("گرد شود"), QStringLiteral("گرد به بالا"),
                                     QStringLiteral("گرد به پايين"), QStringLiteral("تا 2 رقم اعشار")};
        for (int i = 0; i < 4; ++i) {
            auto* option = new QRadioButton(captions[i]);
            option->setObjectName(QStringLiteral("RadioGroup1_%1").arg(i));
            options->addButton(option, i);
            grid->addWidget(option, 0, i);
            // The rounding under its option, read left to right as a number.
            roundings[i] = new QLabel;
            roundings[i]->setObjectName(QStringLiteral("Label%1").arg(9 + i));
            roundings[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
            roundings[i]->setLayoutDirection(Qt::LeftToRight);
            roundings[i]->setAlignment(Qt::AlignCenter);
            roundings[i]->setMinimumWidth(100);
            grid->addWidget(roundings[i], 1, i);
        }
        options->button(TwoDigits)->setChecked(true);

        bitBtn1 = named(new QPushButton(QStringLiteral("محاسبه")), "BitBtn1");
        speedButton1 = named(new QToolButton, "SpeedButton1");
        speedButton1->setIcon(QIcon::fromTheme(QStringLiteral("accessories-calculator"),
                                               q->style()->standardIcon(QStyle::SP_ComputerIcon)));
        speedButton1->setToolTip(QStringLiteral("ماشين حساب"));
        auto* buttons = new QHBoxLayout;
        buttons->addWidget(bitBtn1);
        buttons->addStretch();
        buttons->addWidget(speedButton1);

        price_total = named(new QLineEdit, "price_total");
        price_total->setReadOnly(true);
        price_malek2 = named(new TMonEdit, "price_malek2");
        price_malek2->setReadOnly(true);
        price_malek = named(new QLineEdit, "price_malek");
        price_malek->setReadOnly(true);
        price_malek->hide();
        // The payment: the amount field and the message field share one place.
        auto* payment = new QGridLayout;
        payment->setContentsMargins(0, 0, 0, 0);
        payment->addWidget(price_malek2, 0, 0);
        payment->addWidget(price_malek, 0, 0);
        auto* results = new QFormLayout;
        results->addRow(QStringLiteral("ارزش ملك"), price_total);
        results->addRow(QStringLiteral("مبلغ پرداختي مالك"), payment);
        for (QLineEdit* number : {static_cast<QLineEdit*>(price_total), static_cast<QLineEdit*>(price_malek2)})
            number->setMinimumWidth(220);

        metraj = named(new QLineEdit(q), "metraj");
        price_metr = named(new QLineEdit(q), "price_metr");
        price_total2 = named(new QLineEdit(q), "price_total2");
        for (QLineEdit* hidden : {metraj, price_metr, price_total2})
            hidden->hide();

        auto* layout = new QVBoxLayout(q);
        layout->addLayout(inputs);
        layout->addWidget(radioGroup);
        layout->addLayout(buttons);
        layout->addLayout(results);

        highlightOnFocus(metraj2);
        highlightOnFocus(price_metr2);
        metraj2->installEventFilter(this);
        price_metr2->installEventFilter(this);
        auto* chain = new EnterChain(this);
        chain->add(metraj2).add(price_metr2, [this] {
            if (takePrice())
                q->calculate();
        });

        connect(bitBtn1, &QPushButton::clicked, q, &Thesab::calculate);
        connect(speedButton1, &QToolButton::clicked, this, &Impl::startDesktopCalculator);
        connect(options, &QButtonGroup::idToggled, this, [this](int, bool checked) {
            if (checked)
                showValue();
        });
    }

    // metraj ← the area's decimal value as text; false (after the message) when the
    // field holds no number.
    bool takeArea()
    {
        const QString text = metraj2->text();
        const auto area = valuation::toNumber(text.isEmpty() ? QStringLiteral("0") : text);
        if (!area) {
            Dialogs::instance().error(notANumber());
            return false;
        }
        metraj->setText(valuation::toText(*area));
        return true;
    }

    // price_metr ← the price's whole rials as text.
    bool takePrice()
    {
        try {
            price_metr->setText(QString::number(price_metr2->asInteger()));
            return true;
        } catch (const Error& e) {
            Dialogs::instance().error(e.message());
            return false;
        }
    }

    // "ارزش ملك": the property value rounded as the selected option says.
    void showValue()
    {
        const auto value = valuation::toNumber(price_total2->text());
        if (!value)
            return;
        switch (options->checkedId()) {
        case Nearest:
            price_total->setText(valuation::toText(value->roundedHalfEven(0)));
            break;
        case Up:
            price_total->setText(valuation::toText(value->ceil()));
            break;
        case Down:
            price_total->setText(valuation::toText(value->floor()));
            break;
        default:
            price_total->setText(valuation::twoDigitText(*value));
            break;
        }
    }

    void startDesktopCalculator()
    {
        for (const char* name : kDesktopCalculators) {
            const QString program = QStandardPaths::findExecutable(QString::fromLatin1(name));
            if (!program.isEmpty() && QProcess::startDetached(program, {}))
                return;
        }
        Dialogs::instance().warning(
            QStringLiteral("هيچ ماشين حسابي روي اين رايانه نصب نيست (gnome-calculator، kcalc، galculator يا xcalc)"));
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusOut) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
                if (watched == metraj2)
                    takeArea();
                else if (watched == price_metr2)
                    takePrice();
            }
        }
        return false;
    }
};

Thesab::Thesab(QWidget* parent) : QDialog(parent), d(std::make_unique<Impl>(this))
{
    setObjectName(QStringLiteral("Thesab"));
}

Thesab::~Thesab()
{
    // The fields go before the Impl that filters their events.
    d->metraj2->removeEventFilter(d.get());
    d->price_metr2->removeEventFilter(d.get());
    d->setParent(nullptr);
}

void Thesab::prepare()
{
    for (QLineEdit* field :
         {d->metraj, d->price_metr, d->price_total, d->price_malek, static_cast<QLineEdit*>(d->metraj2),
          static_cast<QLineEdit*>(d->price_metr2), d->price_total2, static_cast<QLineEdit*>(d->price_malek2)})
        field->setText(QStringLiteral("0"));
    for (QLabel* rounding : d->roundings)
        rounding->clear();
    d->price_malek2->show();
    d->price_malek->hide();
}

void Thesab::calculate()
{
    // The working copies follow the fields even when no field was left.
    if (!d->takeArea() || !d->takePrice())
        return;
    d->price_malek2->show();
    d->price_malek->hide();
    const auto out = valuation::calculate(d->metraj->text(), d->price_metr->text());
    if (!out) {
        Dialogs::instance().error(notANumber());
        return;
    }
    d->price_total2->setText(valuation::toText(out->value));
    d->showValue();
    d->roundings[Nearest]->setText(out->nearest);
    d->roundings[Up]->setText(out->up);
    d->roundings[Down]->setText(out->down);
    d->roundings[TwoDigits]->setText(out->twoDigits);

    if (out->payment && out->payment->isInteger()) {
        d->price_malek->setText(valuation::toText(*out->payment));
        d->price_malek2->setText(out->payment->wholeDigits());
        return;
    }
    // A message, or a payment with a fraction, which the whole-rial field cannot hold.
    d->price_malek->setText(out->payment ? valuation::paymentText(*out->payment) : out->paymentMessage);
    d->price_malek2->setText(QStringLiteral("0"));
    d->price_malek2->hide();
    d->price_malek->show();
}

} // namespace tarvest
