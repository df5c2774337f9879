#include "libs/pemdebug/window/CLogWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include <utility>

namespace pemlogwindow {

CLogWindow::CLogWindow(const QString& sinkName, std::function<void()> onUserClose)
    : m_onUserClose(std::move(onUserClose)) {
    setObjectName(QStringLiteral("pemLogWindow"));
    setWindowTitle(sinkName + QStringLiteral(" - Log"));
    setAccessibleName(windowTitle());
    // A log window left open must not keep the program running once its main window closed.
    setAttribute(Qt::WA_QuitOnClose, false);

    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("logText"));
    m_text->setAccessibleName(QStringLiteral("Log lines"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setMaximumBlockCount(static_cast<int>(CPendingLines::MAX_LINES));
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setUndoRedoEnabled(false);

    m_clear = new QPushButton(QStringLiteral("Clear"), this);
    m_clear->setObjectName(QStringLiteral("clearButton"));
    m_clear->setAccessibleName(QStringLiteral("Clear"));
    connect(m_clear, &QPushButton::clicked, m_text, &QPlainTextEdit::clear);

    m_autoScroll = new QCheckBox(QStringLiteral("Auto-scroll"), this);
    m_autoScroll->setObjectName(QStringLiteral("autoScrollBox"));
    m_autoScroll->setAccessibleName(QStringLiteral("Auto-scroll"));
    m_autoScroll->setChecked(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_clear);
    buttons->addWidget(m_autoScroll);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text, 1);
    layout->addLayout(buttons);
    resize(720, 360);
}

void CLogWindow::AppendBatch(const CPendingLines::Batch& batch) {
    if (batch.lines.empty() && batch.ullNotShown == 0)
        return;
    qsizetype size = 64;
    for (const QString& line : batch.lines)
        size += line.size() + 1;
    QString text;
    text.reserve(size);
    bool bFirst = true;
    if (batch.ullNotShown != 0) {
        text += CPendingLines::NotShownNote(batch.ullNotShown);
        bFirst = false;
    }
    for (const QString& line : batch.lines) {
        if (!bFirst)
            text += QLatin1Char('\n');
        text += line;
        bFirst = false;
    }
    MakeRoomFor(batch.lines.size() + (batch.ullNotShown != 0 ? 1 : 0));
    m_text->appendPlainText(text);
    if (m_autoScroll->isChecked()) {
        QScrollBar* bar = m_text->verticalScrollBar();
        bar->setValue(bar->maximum());
    }
}

void CLogWindow::MakeRoomFor(size_t incoming) {
    // The widget's own limit removes the surplus a block at a time, ten times slower than
    // appending; one removal of the oldest blocks beforehand leaves it nothing to do.
    QTextDocument* document = m_text->document();
    const auto blocks = static_cast<size_t>(document->blockCount());
    if (blocks + incoming <= CPendingLines::MAX_LINES)
        return;
    const size_t surplus = blocks + incoming - CPendingLines::MAX_LINES;
    if (surplus >= blocks) {
        m_text->clear();
        return;
    }
    QTextCursor cursor(document);
    cursor.setPosition(document->findBlockByNumber(static_cast<int>(surplus)).position(),
                       QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void CLogWindow::closeEvent(QCloseEvent* event) {
    event->accept(); // hides the window; its owner deletes it
    if (m_onUserClose)
        m_onUserClose();
}

} // namespace pemlogwindow
