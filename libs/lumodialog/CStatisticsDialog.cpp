#include "libs/lumodialog/CStatisticsDialog.h"

#include "external/LumoParamBlocks.h"

#include <QHeaderView>
#include <QTableWidget>
#include <algorithm>

namespace lumodialog {

CStatisticsDialog::CStatisticsDialog(const LumoModuleDialogHost& host, QWidget* parent)
    : CModuleDialog(host, parent) {
    m_table = new QTableWidget(0, 4, this);
    Name(*m_table, "statistics", tr("Statistics per channel"));
    m_table->setHorizontalHeaderLabels({tr("Minimum"), tr("Maximum"), tr("Mean"), tr("Std dev")});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    Body().addWidget(m_table);
    resize(420, 180);
    Refresh();
}

void CStatisticsDialog::Refresh() {
    uint64_t channels = 0;
    uint64_t values = 0;
    if (Module().QueryParam(LUMO_PARAM_RESULT, 0, LumoArg(&channels), LumoArg(&values), 0) !=
            LUMO_OK ||
        values != 4)
        channels = 0;
    channels = std::min<uint64_t>(channels, MAX_CHANNELS);
    const int rows = int(channels);
    if (m_table->rowCount() != rows) {
        m_table->setRowCount(rows);
        const QStringList colour = {tr("Red"), tr("Green"), tr("Blue"), tr("Channel 4")};
        QStringList names;
        for (int r = 0; r < rows; ++r)
            names << (rows == 1 ? tr("Grey") : colour[r]);
        m_table->setVerticalHeaderLabels(names);
    }
    for (int r = 0; r < rows; ++r) {
        double result[4] = {};
        if (!GetParam(LUMO_PARAM_RESULT, uintptr_t(r), LumoArg(result)))
            continue;
        for (int c = 0; c < 4; ++c) {
            const QString text = QString::number(result[c], 'f', c < 2 ? 0 : 2);
            QTableWidgetItem* item = m_table->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                m_table->setItem(r, c, item); // the table owns it
            }
            if (item->text() != text)
                item->setText(text);
        }
    }
}

} // namespace lumodialog
