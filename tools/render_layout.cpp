// Renders a printed-form layout with sample values to PDF and PNG for review:
//   tarvest-render-layout <layout.json | layout name> [output-folder] [options]
// Options:
//   --rows N              sample rows for a bound layout (default 3); their columns are
//                         the ones the layout's fields name, filled with sample texts
//                         and numbers
//   --set element=text    sets a label's text (repeatable)
//   --dpi N               PNG resolution (default 150)
// Writes <name>.pdf and <name>-<page>.png into the folder (default "."), and prints
// their paths. Run it offscreen (QT_QPA_PLATFORM=offscreen).
#include "common/errors.h"
#include "db/database.h"
#include "db/resultset.h"
#include "reports/reportlayout.h"
#include "reports/reportrenderer.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>

using namespace tarvest;
using namespace tarvest::report;

namespace {

// The columns the fields of a layout read.
QStringList columnsOf(const Layout& layout)
{
    QStringList columns;
    static const QRegularExpression word(QStringLiteral(R"(\[([^\]]+)\]|([^\s+\-\[\]]+))"));
    for (const Band& b : layout.bands())
        for (const Element& e : b.elements) {
            if (e.type != ElementType::Field)
                continue;
            for (auto it = word.globalMatch(e.expression); it.hasNext();) {
                const auto m = it.next();
                const QString c = (m.captured(1).isEmpty() ? m.captured(2) : m.captured(1)).trimmed();
                if (!columns.contains(c, Qt::CaseInsensitive))
                    columns << c;
            }
        }
    return columns;
}

QImage sampleEmblem()
{
    QImage image(120, 120, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor("#1d4f91"), 6));
    p.setBrush(QColor("#f4c542"));
    p.drawEllipse(10, 10, 100, 100);
    p.drawLine(60, 20, 60, 100);
    p.drawLine(20, 60, 100, 60);
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        QTextStream(stderr) << "usage: tarvest-render-layout <layout.json|name> [output-folder] [--rows N] "
                               "[--set element=text]... [--dpi N]\n";
        return 2;
    }
    int rows = 3;
    int dpi = 150;
    QList<QPair<QString, QString>> texts;
    QStringList positional;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--rows") && i + 1 < args.size())
            rows = args[++i].toInt();
        else if (args[i] == QLatin1String("--dpi") && i + 1 < args.size())
            dpi = args[++i].toInt();
        else if (args[i] == QLatin1String("--set") && i + 1 < args.size()) {
            const QString s = args[++i];
            texts.append({s.section(QLatin1Char('='), 0, 0), s.section(QLatin1Char('='), 1)});
        } else
            positional << args[i];
    }
    try {
        const QString source = positional.value(0);
        Layout layout = QFileInfo::exists(source) ? Layout::fromFile(source) : Layout::load(source);
        for (const auto& [name, text] : texts)
            layout.setText(name, text);
        for (const Band& b : layout.bands())
            for (const Element& e : b.elements)
                if (e.type == ElementType::Picture && e.image.isNull() && !e.name.isEmpty())
                    layout.setPicture(e.name, sampleEmblem());

        QTemporaryDir tmp;
        auto db = Database::openSqlite(tmp.filePath(QStringLiteral("sample.sqlite")), true);
        const QStringList columns = columnsOf(layout);
        ResultSet data(db.get());
        if (!columns.isEmpty()) {
            QStringList defs;
            for (const QString& c : columns)
                defs << c + QStringLiteral(" text");
            db->exec(QStringLiteral("create table sample (id integer primary key, %1)").arg(defs.join(", ")));
            static const QStringList words = {QStringLiteral("شهرکرد"), QStringLiteral("بروجن"),
                                              QStringLiteral("فارسان"), QStringLiteral("لردگان")};
            for (int r = 0; r < rows; ++r) {
                QVariantList values;
                QStringList marks;
                for (int c = 0; c < columns.size(); ++c) {
                    // Alternate sample kinds by column: a Persian word, a letter number, a quantity.
                    switch (c % 3) {
                    case 0:
                        values << words[r % words.size()];
                        break;
                    case 1:
                        values << QStringLiteral("%1/ص").arg(4660 + r);
                        break;
                    default:
                        values << QString::number(500 + 10 * r) + QStringLiteral(".5");
                        break;
                    }
                    marks << QStringLiteral("?");
                }
                db->exec(
                    QStringLiteral("insert into sample (%1) values (%2)").arg(columns.join(", "), marks.join(", ")),
                    values);
            }
            data.open(QStringLiteral("select * from sample order by id"));
        }

        const QDir out(positional.value(1, QStringLiteral(".")));
        QDir().mkpath(out.path());
        const QString base = QFileInfo(source).completeBaseName();
        const QString pdf = out.filePath(base + QStringLiteral(".pdf"));
        const ResultSet* bound = columns.isEmpty() ? nullptr : &data;
        renderToPdf(layout, bound, pdf);
        QTextStream(stdout) << pdf << '\n';
        const QList<QImage> pages = renderToImages(layout, bound, dpi);
        for (int i = 0; i < pages.size(); ++i) {
            const QString png = out.filePath(QStringLiteral("%1-%2.png").arg(base).arg(i + 1));
            pages[i].save(png);
            QTextStream(stdout) << png << '\n';
        }
    } catch (const Error& e) {
        QTextStream(stderr) << e.message() << '\n';
        return 1;
    }
    return 0;
}
