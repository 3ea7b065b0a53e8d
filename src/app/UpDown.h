#pragma once
// The up-down spinner beside a time field: steps the number in its buddy text box within
// limits. The text box stays free text; validation is the dialog's.

#include <QWidget>

class QLineEdit;

namespace lumaro::app {

class UpDown : public QWidget {
    Q_OBJECT
public:
    UpDown(QLineEdit* buddy, int minimum, int maximum, QWidget* parent = nullptr);

public Q_SLOTS:
    void stepUp() { step(1); }
    void stepDown() { step(-1); }

private:
    void step(int delta);

    QLineEdit* m_buddy;
    int m_min;
    int m_max;
};

}  // namespace lumaro::app
