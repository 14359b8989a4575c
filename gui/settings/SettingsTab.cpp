#include "gui/settings/SettingsTab.h"

#include <QBitmap>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace {
constexpr int kBitmapOffset = 10;

// The tabs' bitmap, with its cyan background made transparent.
QPixmap TabBitmap() {
    QPixmap bitmap(":/vexgui/settings-tab.png");
    if (!bitmap.isNull())
        bitmap.setMask(bitmap.createMaskFromColor(QColor(0, 255, 255)));
    return bitmap;
}
} // namespace

CSettingsTab::CSettingsTab(const QString& csTitle, const char* pszObjectName, QWidget* pParent)
    : QWidget(pParent), m_csTitle(csTitle), m_bitmap(TabBitmap()), m_pBody(new QVBoxLayout) {
    setObjectName(pszObjectName);
    auto* pLayout = new QHBoxLayout(this);
    pLayout->setContentsMargins(kBitmapOffset + m_bitmap.width() + kBitmapOffset, kBitmapOffset,
                                kBitmapOffset, kBitmapOffset);
    pLayout->addLayout(m_pBody, 1);
}

bool CSettingsTab::Init() {
    if (m_bInitialised)
        return true;
    m_bInitialised = true;
    return OnInitDialog();
}

bool CSettingsTab::Apply() {
    if (!m_bInitialised || !m_bModified)
        return true;
    if (!OnApply())
        return false;
    m_bModified = false;
    return true;
}

void CSettingsTab::SetModified() {
    m_bModified = true;
    emit Modified();
}

void CSettingsTab::paintEvent(QPaintEvent* pEvent) {
    QWidget::paintEvent(pEvent);
    QPainter painter(this);
    painter.drawPixmap(kBitmapOffset, kBitmapOffset, m_bitmap);
}
