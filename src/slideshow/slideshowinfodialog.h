#pragma once

// frmslideshowinfo: the small modal dialog that asks for the slide interval in whole seconds
// before a show starts. OK takes the entry and starts; Cancel takes the entry but does not
// start; closing the window any other way takes nothing.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vistrel {

class SlideShowInfoDialog : public QDialog
{
    Q_OBJECT
public:
    // Form_Load: an interval of 0 is offered as 10 (and kept as 10 even if nothing is taken).
    explicit SlideShowInfoDialog(int interval, QWidget *parent = nullptr);

    // Shows the dialog modally; writes the interval back and returns true for OK.
    static bool ask(QWidget *parent, int &interval);

    // slideshowinterval as the dialog leaves it.
    int interval() const { return m_interval; }
    // slideshowonoff as the dialog answers: true only after an accepted OK.
    bool startRequested() const { return m_start; }

private slots:
    void btnok_Click();
    void Command1_Click();

private:
    QLabel *m_label = nullptr;
    QLineEdit *m_sldshowint = nullptr;
    QPushButton *m_btnok = nullptr;
    QPushButton *m_command1 = nullptr;
    int m_interval = 10;
    bool m_start = false;
};

} // namespace vistrel
