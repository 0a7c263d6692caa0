#pragma once
// The reactions of the case screen's numeric fields to each other: net area, property
// value, owner's share, discount and technical-services fee, wired in the order the
// office's rules give. The screen creates the fields and hands them over; the
// computations themselves are pure functions of the core library.
#include <QObject>

class QComboBox;
class QLabel;
class QLineEdit;

namespace tarvest {

struct ValuationFields {
    QLineEdit* metraj = nullptr;              // land area
    QLineEdit* takhrib_masahat = nullptr;     // destroyed area
    QLineEdit* masahat_na = nullptr;          // gross area
    QLineEdit* masahat_khales = nullptr;      // net residential-equivalent area
    QLineEdit* price_metr = nullptr;          // price per square metre
    QLineEdit* ghimat_karshenasi_d = nullptr; // expert price inside the village limits
    QLineEdit* melk_arzesh = nullptr;         // property value
    QLineEdit* malek_pardakhti = nullptr;     // owner's share
    QComboBox* tahteposhesh = nullptr;        // covered status
    QLineEdit* takhfif_darsad = nullptr;      // discount percentage
    QLineEdit* malek_varizi = nullptr;        // technical-services fee
    QLabel* feeCaption = nullptr;             // the caption "هزينه خدمات فني", a button
};

class ValuationBinder : public QObject {
    Q_OBJECT
public:
    // Installs every reaction on the given fields (all must be set); the binder is a
    // child of `parent` (the screen) and lives as long as it.
    ValuationBinder(const ValuationFields& fields, QObject* parent);

    // While the screen presets its fields (a blank new case), the reactions run but
    // show no message: the large-area reminder belongs to a plot the user works on,
    // not to the case shown before.
    void setQuiet(bool quiet);

private:
    struct Impl;
    Impl* d;
};

} // namespace tarvest
