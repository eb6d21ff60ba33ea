#include "app/gridcoupling.h"

#include "app/globals.h"
#include "base/numparse.h"
#include "layout/mainlayout.h"
#include "picture/grid.h"

#include <QCheckBox>
#include <QEvent>
#include <QLineEdit>

namespace tessilor {

namespace ml = mainlayout;

GridCoupling::GridCoupling(const GridFields &textBar, const GridFields &figureBar, QObject *parent)
    : QObject(parent), m_text(textBar), m_figures(figureBar)
{
    for (const GridFields *g : {&m_text, &m_figures}) {
        for (QLineEdit *t : {g->columns, g->rows}) {
            t->installEventFilter(this);
            connect(t, &QLineEdit::textChanged, this, [this, t] { fieldChanged(t); });
        }
    }
}

bool GridCoupling::eventFilter(QObject *watched, QEvent *event)
{
    if (auto *field = qobject_cast<QLineEdit *>(watched)) {
        if (event->type() == QEvent::FocusIn)
            field->setProperty("tag", QStringLiteral("focus"));
        else if (event->type() == QEvent::FocusOut)
            field->setProperty("tag", QString());
    }
    return QObject::eventFilter(watched, event);
}

void GridCoupling::fieldChanged(QLineEdit *field)
{
    if (field->property("tag").toString() != QLatin1String("focus"))
        return;
    const bool text = field == m_text.columns || field == m_text.rows;
    const GridFields &g = text ? m_text : m_figures;
    if (!g.proportional->isChecked())
        return;
    const bool columns = field == g.columns;
    const ml::GridField which = text ? (columns ? ml::GridField::TextColumns : ml::GridField::TextRows)
                                     : (columns ? ml::GridField::FigureColumns : ml::GridField::FigureRows);
    QLineEdit *partner = columns ? g.rows : g.columns;
    if (const auto partnerText = ml::coupledPartnerText(which, field->text(), globals::ImageAspect))
        partner->setText(*partnerText);
}

void GridCoupling::publishDisplaySize(int pw, int ph)
{
    const ml::PublishedSize s = ml::publishedSize(pw, ph);
    globals::ImageAspect = s.aspect;
    // The fields show what a run will convert: clamped as the run clamps
    // them, both together while the proportional box is ticked.
    auto show = [](const GridFields &g, Mode mode, qint64 columns, qint64 rows) {
        const GridSize grid = clampGrid(mode, double(columns), double(rows),
                                        g.proportional->isChecked() ? GridClamp::KeepProportions : GridClamp::EachSide);
        g.columns->setText(decimalText(grid.columns));
        g.rows->setText(decimalText(grid.height));
    };
    show(m_text, Mode::Text, s.textColumns, s.textRows);
    show(m_figures, Mode::Figures, s.figureColumns, s.figureRows);
}

} // namespace tessilor
