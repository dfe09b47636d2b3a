#pragma once
// The linear-correction window: Y = A*X + B applied to one item's results
// over a range of the day's samples, after a calibration factor turned out
// wrong.
#include <QDialog>

namespace db { class Dataset; }

class QLabel;
class QLineEdit;
class QPushButton;

class Tfrmlinejust : public QDialog
{
    Q_OBJECT
public:
    explicit Tfrmlinejust(QWidget *parent = nullptr);
    ~Tfrmlinejust() override;

    QLineEdit *edititemid = nullptr; // item number
    QLineEdit *edita = nullptr;      // factor A
    QLineEdit *editb = nullptr;      // offset B
    QLineEdit *samp1 = nullptr;      // first sample number of the range
    QLineEdit *samp2 = nullptr;      // last sample number of the range
    QPushButton *Button1 = nullptr;  // "确定"
    QPushButton *Button2 = nullptr;  // "取消"

    // The main window's sample list (rows and order as shown) and the
    // current sample's results; either may be absent.
    db::Dataset *sampleList = nullptr;
    db::Dataset *results = nullptr;

    void FormShow();
    void Button1Click(); // "确定"
    void Button2Click(); // "取消"

protected:
    void showEvent(QShowEvent *e) override;
};

extern Tfrmlinejust *frmlinejust;
