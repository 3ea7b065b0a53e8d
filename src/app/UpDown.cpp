#include "app/UpDown.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace lumaro::app {

UpDown::UpDown(QLineEdit* buddy, int minimum, int maximum, QWidget* parent)
    : QWidget(parent), m_buddy(buddy), m_min(minimum), m_max(maximum) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (Qt::ArrowType arrow : {Qt::UpArrow, Qt::DownArrow}) {
        auto* b = new QToolButton;
        b->setArrowType(arrow);
        b->setAutoRepeat(true);
        b->setFixedSize(18, 12);
        layout->addWidget(b);
        connect(b, &QToolButton::clicked, this,
                arrow == Qt::UpArrow ? &UpDown::stepUp : &UpDown::stepDown);
    }
}

void UpDown::step(int delta) {
    bool ok = false;
    const int value = m_buddy->text().trimmed().toInt(&ok);
    const int next = ok ? std::clamp(value + delta, m_min, m_max) : m_min;
    m_buddy->setText(QString::number(next));
}

}  // namespace lumaro::app
