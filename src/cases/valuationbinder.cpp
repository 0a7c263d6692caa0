#include "cases/valuationbinder.h"

#include "cases/core/valuation.h"
#include "widgets/dialogs.h"

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>

namespace tarvest {

// The reactions live in a child object of the binder, which filters the fields' focus
// events and the fee caption's clicks. Every write goes through write(): a field
// already holding the text is left alone, so a reaction chain ends where nothing
// changes. The owner's-share reaction reads its fields afresh at every step, so while
// it runs the change reactions its own writes would start again are skipped.
struct ValuationBinder::Impl : QObject {
    Impl(const ValuationFields& fields, QObject* parent) : QObject(parent), f(fields)
    {
        Q_ASSERT(f.metraj && f.takhrib_masahat && f.masahat_na && f.masahat_khales && f.price_metr
                 && f.ghimat_karshenasi_d && f.melk_arzesh && f.malek_pardakhti && f.tahteposhesh && f.takhfif_darsad
                 && f.malek_varizi && f.feeCaption);
        for (QObject* watched : {static_cast<QObject*>(f.metraj), static_cast<QObject*>(f.price_metr),
                                 static_cast<QObject*>(f.melk_arzesh), static_cast<QObject*>(f.malek_pardakhti),
                                 static_cast<QObject*>(f.feeCaption)})
            watched->installEventFilter(this);

        connect(f.takhrib_masahat, &QLineEdit::textChanged, this, &Impl::netArea);
        for (QLineEdit* field : {f.price_metr, f.masahat_khales, f.melk_arzesh})
            connect(field, &QLineEdit::textChanged, this, &Impl::ownerShare);
        for (QLineEdit* field : {f.malek_pardakhti, f.takhfif_darsad})
            connect(field, &QLineEdit::textChanged, this, &Impl::fee);
        // Only the user's choice or typing sets the discount, never a text the screen sets.
        connect(f.tahteposhesh, &QComboBox::activated, this, &Impl::discount);
        if (QLineEdit* typed = f.tahteposhesh->lineEdit())
            connect(typed, &QLineEdit::textEdited, this, &Impl::discount);
    }

    static void write(QLineEdit* field, const QString& text)
    {
        if (field->text() != text)
            field->setText(text);
    }

    void netArea() { write(f.masahat_khales, valuation::netAreaText(f.metraj->text(), f.takhrib_masahat->text())); }

    void propertyValue()
    {
        write(f.melk_arzesh, valuation::propertyValueText(f.masahat_khales->text(), f.price_metr->text()));
    }

    void discount() { write(f.takhfif_darsad, valuation::discountText(f.tahteposhesh->currentText())); }

    void ownerShare()
    {
        if (shareRunning)
            return;
        shareRunning = true;
        const valuation::ShareOutcome out = valuation::ownerShare(
            {f.masahat_khales->text(), f.price_metr->text(), f.melk_arzesh->text(), f.malek_pardakhti->text()});
        if (out.largeAreaReminder && !quiet)
            Dialogs::instance().message(valuation::kLargeAreaReminder);
        write(f.masahat_khales, out.fields.masahat_khales);
        write(f.price_metr, out.fields.price_metr);
        write(f.melk_arzesh, out.fields.melk_arzesh);
        write(f.malek_pardakhti, out.fields.malek_pardakhti);
        shareRunning = false;
    }

    void fee() { write(f.malek_varizi, valuation::feeText(f.malek_pardakhti->text(), f.takhfif_darsad->text())); }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type == QEvent::FocusIn || type == QEvent::FocusOut) {
            // Opening a context menu or switching windows is no entering or leaving.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
                return false;
        }
        if (type == QEvent::FocusOut && watched == f.metraj) {
            write(f.masahat_na, f.metraj->text());
            netArea();
        } else if (type == QEvent::FocusOut && watched == f.price_metr) {
            write(f.ghimat_karshenasi_d, f.price_metr->text());
        } else if (type == QEvent::FocusIn && watched == f.melk_arzesh) {
            propertyValue();
        } else if (type == QEvent::FocusIn && watched == f.malek_pardakhti) {
            ownerShare();
        } else if (type == QEvent::MouseButtonRelease && watched == f.feeCaption
                   && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            fee();
        }
        return false;
    }

    ValuationFields f;
    bool shareRunning = false;
    bool quiet = false;
};

ValuationBinder::ValuationBinder(const ValuationFields& fields, QObject* parent)
    : QObject(parent), d(new Impl(fields, this))
{
}

void ValuationBinder::setQuiet(bool quiet)
{
    d->quiet = quiet;
}

} // namespace tarvest
