#include "app/CApplicationAboutDlg.h"

#include "platform/CFileVersionInfo.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int LOGO_GAP = 20;

// "V a.b.c.d" of the file, or "Unavailable" when it carries no version.
QString ModuleVersion(const std::string& path) {
    platform::CFileVersionInfo info;
    if (!platform::CFileVersionInfo::Read(path, info))
        return QStringLiteral("Unavailable");
    const std::string version = info.GetProductVersionText();
    return version.empty() ? QStringLiteral("Unavailable")
                           : QStringLiteral("V ") + QString::fromStdString(version);
}

} // namespace

CApplicationAboutDlg::CApplicationAboutDlg(QWidget* parent)
    : QDialog(parent), m_logoSource(QStringLiteral(":/icons/logo.bmp")) {
    setObjectName(QStringLiteral("AboutDialog"));
    setMinimumSize(640, 420);
    auto* layout = new QVBoxLayout(this);
    m_pList = new QTreeWidget;
    m_pList->setObjectName(QStringLiteral("moduleList"));
    m_pList->setAccessibleName(QStringLiteral("Program files and their versions"));
    m_pList->setRootIsDecorated(false);
    m_pList->setAlternatingRowColors(true);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setHeaderLabels({QStringLiteral("File"), QStringLiteral("Version")});
    // "File" and "Version" share the width the list leaves beside its scroll bar.
    m_pList->header()->setSectionResizeMode(QHeaderView::Stretch);
    layout->addWidget(m_pList, 1);
    auto* bottom = new QHBoxLayout;
    m_pIcon = new QLabel;
    m_pIcon->setObjectName(QStringLiteral("aboutIcon"));
    m_pIcon->setAccessibleName(QStringLiteral("Program icon"));
    bottom->addWidget(m_pIcon);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    bottom->addWidget(buttons, 1);
    layout->addLayout(bottom);
}

CApplicationAboutDlg::~CApplicationAboutDlg() = default;

bool CApplicationAboutDlg::AddModules(const std::string& baseDir, const std::string& dir,
                                      const std::string& pattern, bool executablesOnly,
                                      bool clearFirst) {
    if (!m_modules.AddModules(baseDir, dir, pattern, executablesOnly, clearFirst))
        return false;
    m_baseDir = baseDir;
    return true;
}

QString CApplicationAboutDlg::ModuleText(int row, int column) const {
    const QTreeWidgetItem* item = m_pList->topLevelItem(row);
    return item ? item->text(column) : QString();
}

void CApplicationAboutDlg::showEvent(QShowEvent* event) {
    if (!m_bInitialised) {
        m_bInitialised = true;
        InitDialog();
    }
    QDialog::showEvent(event);
}

void CApplicationAboutDlg::InitDialog() {
    const std::vector<std::string>& entries = m_modules.Entries();
    if (!entries.empty()) {
        platform::CFileVersionInfo info;
        if (platform::CFileVersionInfo::Read(m_baseDir + "/" + entries.front(), info))
            m_versionLine = QString::fromStdString(
                ModuleList::VersionLine(info.GetProductVersionText(), m_versionLine.toStdString()));
    }
    setWindowTitle(m_caption);
    if (!m_icon.isNull())
        m_pIcon->setPixmap(m_icon.pixmap(32, 32));
    BuildLogo();
    FillModuleList();
    resizeEvent(nullptr);
}

void CApplicationAboutDlg::BuildLogo() {
    m_logo = QPixmap();
    if (m_logoSource.isNull())
        return;
    QImage image = m_logoSource.toImage().convertToFormat(QImage::Format_RGB32);
    if (image.width() <= KEY_X || image.height() <= KEY_Y) {
        m_logo = QPixmap::fromImage(image); // no key pixel: drawn whole
        return;
    }
    const QRgb key = image.pixel(KEY_X, KEY_Y);
    const QImage mask = image.createMaskFromColor(key, Qt::MaskInColor);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (line[x] == key)
                line[x] = qRgb(0, 0, 0);
    }
    m_logo = QPixmap::fromImage(image);
    m_logo.setMask(QBitmap::fromImage(mask));
}

void CApplicationAboutDlg::FillModuleList() {
    m_pList->clear();
    for (const std::string& entry : m_modules.Entries()) {
        auto* item = new QTreeWidgetItem(m_pList);
        item->setText(0, QString::fromStdString(entry));
        item->setText(1, ModuleVersion(m_baseDir + "/" + entry));
    }
}

int CApplicationAboutDlg::BandHeight() const {
    return height() / 3;
}

void CApplicationAboutDlg::resizeEvent(QResizeEvent* event) {
    if (QLayout* layout = this->layout()) {
        QMargins margins = layout->contentsMargins();
        margins.setTop(BandHeight() + margins.left());
        layout->setContentsMargins(margins);
    }
    if (event)
        QDialog::resizeEvent(event);
}

void CApplicationAboutDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    const int band = BandHeight();
    painter.fillRect(QRect(0, 0, width(), band), Qt::white);
    int x = m_pList->geometry().left() - style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    if (!m_logo.isNull()) {
        painter.drawPixmap(x, (band - m_logo.height()) / 2, m_logo);
        x += m_logo.width() + LOGO_GAP;
    }
    const int third = band / 3;
    QFont bold = font();
    bold.setWeight(QFont::Bold);
    QFont normal = font();
    normal.setWeight(QFont::Normal);
    painter.setPen(Qt::black);
    painter.setFont(bold);
    const QRect titleArea(x, 0, width() * 3 / 4 - x, third);
    const QRect title = painter.boundingRect(
        titleArea, Qt::AlignLeft | Qt::AlignBottom | Qt::TextSingleLine, m_title);
    painter.drawText(titleArea, Qt::AlignLeft | Qt::AlignBottom | Qt::TextSingleLine, m_title);
    painter.setFont(normal);
    painter.setPen(QColor(0, 0, 255)); // the info colour
    painter.drawText(QRect(title.right() + 10, 0, width() - title.right() - 10, third),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_info);
    painter.setPen(Qt::black);
    painter.drawText(QRect(x, third, width() - x, third),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_versionLine);
    painter.drawText(QRect(x, 2 * third, width() - x, band - 2 * third),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, m_bottom);
}
