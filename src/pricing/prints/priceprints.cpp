#include "pricing/prints/priceprints.h"

#include "common/errors.h"
#include "db/database.h"
#include "db/session.h"
#include "db/settinglists.h"
#include "pricing/core/pricing.h"
#include "pricing/prints/core/priceprint.h"
#include "reports/reportpreview.h"
#include "widgets/dialogs.h"

namespace tarvest::priceprints {

namespace {

const char* const kColumns[] = {"city",       "bakhsh", "dehestan",  "rosta",     "abadi_cod",   "karbari",
                                "sal",        "tamin",  "paper_no",  "paper_dat", "arzesh",      "vagozari",
                                "paye_zarib", "paye",   "mojaver12", "mojaver16", "mojaver_max", "khadamati"};

// The selected assessment's columns as the texts of their stored values.
std::optional<QMap<QString, QString>> selectedRow(Session& session)
{
    const ResultSet& rs = session.prices;
    if (!rs.isOpen() || rs.isEmpty())
        return std::nullopt;
    QMap<QString, QString> row;
    for (const char* c : kColumns)
        row.insert(QLatin1String(c), rs.asString(QLatin1String(c)));
    return row;
}

void setIfPresent(report::Layout& layout, const QString& name, const QString& text)
{
    if (layout.hasElement(name) || layout.hasPlaceholder(name))
        layout.setText(name, text);
}

void fillTable(report::Layout& layout, const priceprint::TableRows& rows)
{
    for (int r = 0; r < 3; ++r) {
        const QString n = QString::number(r + 1);
        setIfPresent(layout, QStringLiteral("row%1_no").arg(n), rows.number[r]);
        setIfPresent(layout, QStringLiteral("row%1_desc").arg(n), rows.description[r]);
        setIfPresent(layout, QStringLiteral("row%1_amount").arg(n), rows.amount[r]);
    }
    // The lines between the rows: behind the table's white background for the one-row
    // table, in front of it again for three rows.
    for (const char* line : {"line_r1", "line_l1", "line_r2", "line_l2"}) {
        const QString name = QLatin1String(line);
        if (!layout.hasElement(name))
            continue;
        if (rows.threeRows)
            layout.bringToFront(name);
        else
            layout.sendToBack(name);
    }
}

// The province form and the urban-housing form share their body.
std::optional<PreparedPriceForm> prepareProvinceLike(Session& session, const QString& name, bool urban)
{
    const std::optional<QMap<QString, QString>> row = selectedRow(session);
    if (!row)
        return std::nullopt;
    PreparedPriceForm form{report::Layout::load(name), nullptr};
    report::Layout& l = form.layout;
    for (const char* c : {"paper_no", "paper_dat", "rosta", "vagozari"})
        setIfPresent(l, QLatin1String(c), row->value(QLatin1String(c)));
    setIfPresent(l, QStringLiteral("paye"), priceprint::groupBasePrice(row->value(QStringLiteral("paye"))));
    const QString karbari = row->value(QStringLiteral("karbari"));
    if (urban) {
        fillTable(l, priceprint::urbanHousingTable(*row));
    } else {
        setIfPresent(l, QStringLiteral("karbari"), karbari);
        fillTable(l, priceprint::provinceTable(karbari, *row));
    }
    if (session.login.level == pricing::kCountyLevel) {
        Dialogs::instance().message(pricing::text::CountyRefused);
        return std::nullopt;
    }
    return form;
}

void preview(std::optional<PreparedPriceForm> (*prepare)(Session&), Session& session, QWidget* parent)
{
    try {
        std::optional<PreparedPriceForm> form = prepare(session);
        if (!form)
            return;
        if (!form->layout.loadProblem().isEmpty())
            Dialogs::instance().warning(form->layout.loadProblem());
        report::previewReport(form->layout, form->data.get(), parent);
    } catch (const Error& e) {
        Dialogs::instance().error(e.message());
    }
}

} // namespace

std::optional<PreparedPriceForm> prepareProvinceForm(Session& session)
{
    return prepareProvinceLike(session, ProvinceForm, false);
}

std::optional<PreparedPriceForm> prepareUrbanHousingForm(Session& session)
{
    return prepareProvinceLike(session, UrbanHousingForm, true);
}

std::optional<PreparedPriceForm> prepareCountyForm(Session& session)
{
    const std::optional<QMap<QString, QString>> row = selectedRow(session);
    if (!row)
        return std::nullopt;
    PreparedPriceForm form{report::Layout::load(CountyForm), std::make_unique<ResultSet>(session.db())};
    for (const char* c : {"paper_no", "paper_dat", "rosta", "city", "vagozari", "arzesh", "karbari"})
        setIfPresent(form.layout, QLatin1String(c), row->value(QLatin1String(c)));
    form.data->open(QStringLiteral("SELECT * FROM setting WHERE component = ? ORDER BY id"), {lists::PriceFinders});
    return form;
}

void printProvinceForm(Session& session, QWidget* parent)
{
    preview(&prepareProvinceForm, session, parent);
}

void printCountyForm(Session& session, QWidget* parent)
{
    preview(&prepareCountyForm, session, parent);
}

void printUrbanHousingForm(Session& session, QWidget* parent)
{
    preview(&prepareUrbanHousingForm, session, parent);
}

} // namespace tarvest::priceprints
