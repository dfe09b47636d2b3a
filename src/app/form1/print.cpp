// The main window's print handlers: the print settings of the settings page,
// their preview, and the report of the sample list's current sample.
#include "app/form1/print.h"

#include "base/CustData.h"
#include "app/Unit1.h"
#include "app/oprinput.h"
#include "app/printprogress.h"
#include "graphics/graphpanel.h"
#include "platform/db/errortext.h"
#include "platform/report/printing.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/eventhook.h"
#include "platform/widgets/statusbar.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalBlocker>

namespace reports {

PrintSettings printSettingsOf(const TForm1 &w)
{
    PrintSettings s;
    s.printerIndex = w.ComboBox6 ? w.ComboBox6->currentIndex() : -1;
    s.paperIndex = w.ComboBox7 ? w.ComboBox7->currentIndex() : -1;
    s.kind = w.ComboBox8 ? w.ComboBox8->currentIndex() : -1;
    if (w.Edit6) {
        s.top = w.Edit6->text();
        s.left = w.Edit7->text();
        s.bottom = w.Edit8->text();
        s.right = w.Edit9->text();
    }
    // Nothing chosen now, yet the row names a printer: it was removed since.
    if (s.printerIndex < 0 && w.ComboBox6 && dbdata && dbdata->corpset && dbdata->corpset->isOpen()
        && !dbdata->corpset->isEmpty()) {
        const QVariant stored = dbdata->corpset->value(QStringLiteral("prntname"));
        const QString name = stored.isNull() ? QString() : stored.toString();
        if (!name.isEmpty() && w.ComboBox6->findText(name, Qt::MatchExactly) < 0)
            s.lostPrinter = name;
    }
    return s;
}

ReportContent reportContentOf(const TForm1 &w, db::Dataset *patient, db::Dataset *rows)
{
    ReportContent c;
    c.hospital = w.getHospitalname();
    if (w.Panel1)
        for (int i = 0; i < 4; ++i)
            c.images[i] = w.Panel1->picture(i + 1);
    if (patient)
        c.patient = recordOf(*patient);
    if (rows)
        c.rows = resultRowsFrom(*rows);
    return c;
}

} // namespace reports

namespace {

// The list the back end read at start-up: an index chosen here always names
// the printer shown.
QStringList installedPrinters()
{
    try {
        return report::printerBackend()->printerNames();
    } catch (const report::ReportError &) {
        return {};
    }
}

} // namespace

void TForm1::buildPrintSettings()
{
    if (ComboBox6 || !GroupBoxPrint)
        return;
    auto *g = new QGridLayout(GroupBoxPrint);
    auto label = [this](const char *name, const char *caption) {
        auto *l = new QLabel(QString::fromUtf8(caption), GroupBoxPrint);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    auto combo = [this](const char *name, const QStringList &items) {
        auto *c = new QComboBox(GroupBoxPrint);
        c->setObjectName(QLatin1String(name));
        c->addItems(items);
        c->setCurrentIndex(-1);
        c->setMinimumWidth(260);
        return c;
    };
    ComboBox6 = combo("ComboBox6", {});
    ComboBox7 = combo("ComboBox7", reports::paperItems());
    ComboBox8 = combo("ComboBox8", reports::reportKindItems());
    g->addWidget(label("Label7", "打印机选择："), 0, 0);
    g->addWidget(ComboBox6, 0, 1, 1, 8);
    g->addWidget(label("Label20", "纸张选择："), 1, 0);
    g->addWidget(ComboBox7, 1, 1, 1, 8);
    g->addWidget(label("Label30", "报告选择："), 2, 0);
    g->addWidget(ComboBox8, 2, 1, 1, 8);
    g->addWidget(label("Label21", "页边距(mm)："), 3, 0);
    QLineEdit **edits[4] = {&Edit6, &Edit7, &Edit8, &Edit9};
    const char *names[4] = {"Edit6", "Edit7", "Edit8", "Edit9"};
    const char *labels[4][2] = {{"Label22", "上："}, {"Label23", "左："}, {"Label24", "下："}, {"Label25", "右："}};
    for (int i = 0; i < 4; ++i) {
        *edits[i] = new QLineEdit(GroupBoxPrint);
        (*edits[i])->setObjectName(QLatin1String(names[i]));
        (*edits[i])->setMaximumWidth(60);
        g->addWidget(label(labels[i][0], labels[i][1]), 3, 1 + 2 * i);
        g->addWidget(*edits[i], 3, 2 + 2 * i);
    }
    Button2 = new QPushButton(QStringLiteral("预览"), GroupBoxPrint);
    Button2->setObjectName(QStringLiteral("Button2"));
    g->addWidget(Button2, 4, 0);
    g->setColumnStretch(9, 1);

    // activated, not currentIndexChanged: start-up sets the combos without
    // writing them back.
    connect(ComboBox6, QOverload<int>::of(&QComboBox::activated), this, &TForm1::ComboBox6Click);
    connect(ComboBox7, QOverload<int>::of(&QComboBox::activated), this, &TForm1::ComboBox7Click);
    connect(ComboBox8, QOverload<int>::of(&QComboBox::activated), this, &TForm1::ComboBox8Click);
    // Every change of a margin's text is stored as it stands; the settings
    // page's own filling at start-up writes what it changes in one go instead.
    connect(Edit6, &QLineEdit::textChanged, this, &TForm1::Edit6Change);
    connect(Edit7, &QLineEdit::textChanged, this, &TForm1::Edit7Change);
    connect(Edit8, &QLineEdit::textChanged, this, &TForm1::Edit8Change);
    connect(Edit9, &QLineEdit::textChanged, this, &TForm1::Edit9Change);
    for (QLineEdit *e : {Edit6, Edit7, Edit8, Edit9})
        EventHook::on(e)->onKey = [this, e](QKeyEvent *k) { return marginKeyPress(e, k); };
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);

    if (!ADODataSet3) {
        ADODataSet3 = new db::Dataset(this);
        testprntset = new db::Dataset(this);
        ADODataSet5 = new db::Dataset(this);
    }
    if (N3)
        connect(N3, &QAction::triggered, this, &TForm1::N3Click, Qt::UniqueConnection);
    cmpswitch();
}

void TForm1::printSettingsShow()
{
    buildPrintSettings();
    // Printers in the system's order.
    ComboBox6->clear();
    const QStringList printers = installedPrinters();
    ComboBox6->addItems(printers);
    // The stored choices; nothing is written back here.
    db::Dataset *corp = dbdata ? dbdata->corpset : nullptr;
    const bool row = corp && corp->isOpen() && !corp->isEmpty();
    auto stored = [&](const char *col) { return row ? corp->value(QLatin1String(col)) : QVariant(); };
    // The stored printer by its name: queues added or removed since the last
    // run move the others, and a position alone may name another printer.
    const reports::PrinterChoice printer = reports::choosePrinter(stored("prntindex"), stored("prntname"), printers);
    ComboBox6->setCurrentIndex(printer.index);
    // What the row is brought up to date with; showing the page writes
    // nothing else.
    QList<QPair<QString, QVariant>> bringUp;
    if (printer.storeIndex || printer.storeName)
        bringUp = printerValues(printer.index);
    printerNotice = printer.notice;
    ComboBox7->setCurrentIndex(reports::storedIndex(stored("paperindex"), ComboBox7->count()));
    ComboBox8->setCurrentIndex(reports::storedIndex(stored("rptindex"), ComboBox8->count()));
    // Paper and margins only for the report kinds that use them.
    cmpswitch();
    // Margins. The row then holds what is shown, so a 0 margin becomes its
    // default and an empty one 0.
    const struct
    {
        QLineEdit *edit;
        const char *column;
        double byDefault;
    } margins[] = {{Edit6, "p_top", reports::DefaultTop},
                   {Edit7, "p_left", reports::DefaultLeft},
                   {Edit8, "p_bottom", reports::DefaultBottom},
                   {Edit9, "p_right", reports::DefaultRight}};
    for (const auto &m : margins) {
        const QVariant was = stored(m.column);
        const QString shown = reports::marginShown(was, m.byDefault);
        const QSignalBlocker quiet(m.edit);
        m.edit->setText(shown);
        const double value = reports::marginValue(shown);
        if (was.isNull() || was.toDouble() != value)
            bringUp.append({QLatin1String(m.column), value});
    }
    // This write is the program's own, not the user's: a fault of the file
    // itself that the log-on has just told (a read-only file) is not told
    // again. Every write the user makes later tells its own failure.
    QString error;
    if (row && !bringUp.isEmpty() && !reports::storeSettings(*corp, bringUp, &error)) {
        const db::FileFault fault = db::fileFault(error);
        if (fault == db::FileFault::None || !frmoprput || frmoprput->toldFault() != fault)
            dlg::error(error, this);
    }
    // Nothing can print without a printer: say so at once.
    if (printers.isEmpty())
        dlg::message(QString::fromUtf8(reports::NoPrinterInstalled), this);
}

void TForm1::storeSettingValue(const char *column, const QVariant &value)
{
    db::Dataset *corp = dbdata ? dbdata->corpset : nullptr;
    if (!corp || !corp->isOpen() || corp->isEmpty())
        return;
    QString error;
    if (!reports::storeSetting(*corp, QLatin1String(column), value, &error))
        dlg::error(error, this);
}

void TForm1::storePrinter(int index)
{
    db::Dataset *corp = dbdata ? dbdata->corpset : nullptr;
    if (!corp || !corp->isOpen() || corp->isEmpty())
        return;
    QString error;
    if (!reports::storeSettings(*corp, printerValues(index), &error))
        dlg::error(error, this);
}

QList<QPair<QString, QVariant>> TForm1::printerValues(int index) const
{
    return {{QStringLiteral("prntindex"), index}, {QStringLiteral("prntname"), ComboBox6->itemText(index)}};
}

void TForm1::showPrinterNotice()
{
    if (printerNotice.isEmpty())
        return;
    // Beside what the serial port said at start-up, not in its place.
    const QString shown = StatusBar1->panelText(1);
    StatusBar1->setPanelText(1, shown.isEmpty() ? printerNotice : shown + QStringLiteral("；") + printerNotice);
}

void TForm1::ComboBox6Click(int index)
{
    storePrinter(index);
}

void TForm1::ComboBox7Click(int index)
{
    storeSettingValue("paperindex", index);
    if (ComboBox6->currentIndex() < 0)
        return;
    const auto paper = reports::paperSetupFor(index);
    if (!paper)
        return;
    reports::setprtpaper(paper->form, paper->width10, paper->length10, ComboBox6->currentText());
    // The two-per-sheet batch clones the live template as it stands.
    if (index == reports::PaperHalfA4 || index == reports::PaperHalfContinuous)
        reports::moveTemplateFooter(reports::ReportForms::instance().frmtestreport);
}

void TForm1::ComboBox8Click(int index)
{
    storeSettingValue("rptindex", index);
    cmpswitch();
}

void TForm1::cmpswitch()
{
    const bool on = reports::paperControlsEnabled(ComboBox8->currentIndex());
    for (QWidget *w : std::initializer_list<QWidget *>{ComboBox7, Edit6, Edit7, Edit8, Edit9, Button2})
        w->setEnabled(on);
}

void TForm1::storeMargin(const char *column, const QString &text)
{
    if (text.isEmpty())
        return;
    try {
        storeSettingValue(column, reports::marginValue(text));
    } catch (const report::ReportError &e) {
        dlg::error(e.message(), this);
    }
}

void TForm1::Edit6Change(const QString &text) { storeMargin("p_top", text); }
void TForm1::Edit7Change(const QString &text) { storeMargin("p_left", text); }
void TForm1::Edit8Change(const QString &text) { storeMargin("p_bottom", text); }
void TForm1::Edit9Change(const QString &text) { storeMargin("p_right", text); }

bool TForm1::marginKeyPress(QLineEdit *edit, QKeyEvent *e)
{
    // Delete is an editing key, not a typed character, whatever text the
    // keyboard gives it.
    if (e->key() == Qt::Key_Delete)
        return false;
    const QString t = e->text();
    if (t.isEmpty())
        return false;   // keys without a character (arrows, Home, End) work as usual
    for (QChar c : t)
        if (!reports::marginKeyAccepted(c, edit->text()))
            return true;
    return false;
}

void TForm1::Button2Click()
{
    const reports::PrintSettings s = reports::printSettingsOf(*this);
    const QString refusal = reports::settingsRefusal(s);
    if (!refusal.isEmpty()) {
        dlg::message(refusal, this);
        return;
    }
    reports::ReportForms &forms = reports::ReportForms::instance();
    report::ReportForm *form = nullptr;
    switch (s.paperIndex) {
    case reports::PaperHalfA4:
    case reports::PaperHalfContinuous:
        form = &forms.frmnomreport;
        form->setPageMm(210, s.paperIndex == reports::PaperHalfA4 ? 148.5 : 139.7);
        break;
    case reports::PaperA4: form = &forms.a4Report; break;
    default: form = &forms.a5Report; break;
    }
    try {
        const reports::Margins m = reports::parseMargins(s);
        form->setMargins(m.top, m.left, m.bottom, m.right);
        form->setCaption(QStringLiteral("QRLabel1"), getHospitalname() + QStringLiteral("检验报告单"));
        // Printing from the preview goes to the chosen printer.
        form->printerIndex = s.printerIndex;
        report::preview(*form, report::recordFromMap(reports::recordOf(*patientset)), this);
    } catch (const report::ReportError &e) {
        dlg::error(e.message(), this);
    }
}

void TForm1::N3Click()
{
    setEnabled(false);
    const auto enable = qScopeGuard([this] { setEnabled(true); });

    if (patientset && patientset->isOpen() && !patientset->isEmpty()) {
        const QString shelfid = patientset->text(QStringLiteral("shelfid"));
        const auto progressAtEnd = qScopeGuard(closePrintProgress);
        const reports::SamplePrint r = reports::printSample(
            shelfid, patientset->value(QStringLiteral("checkdate")), reports::printSettingsOf(*this), reports::reportContentOf(*this, nullptr, nullptr),
            reports::ReportForms::instance(), *ADODataSet3, *testprntset, *ADODataSet5,
            [] { showPrintProgress(1, 1); });
        closePrintProgress();
        if (r.outcome == reports::SamplePrint::Refused)
            dlg::message(r.message, this);
        else if (r.outcome == reports::SamplePrint::Failed)
            dlg::error(r.message, this);
        // A margin that is not a number ends the print here: the list is
        // left as it stands.
        if (r.badMargin)
            return;
    }
    // The list is re-read even when nothing printed; a filtered list may
    // have lost the printed row, so stay on the same record number.
    if (!patientset)
        return;
    const int n = patientset->recNo();
    patientrefresh();
    if (n > 0 && patientset->recordCount() > 0)
        patientset->setRecNo(qMin(n, patientset->recordCount()));
}

bool TForm1::resultprint(db::Dataset *patient, db::Dataset *rows, db::Dataset *graph)
{
    const reports::PrintSettings s = reports::printSettingsOf(*this);
    const QString refusal = reports::settingsRefusal(s);
    if (!refusal.isEmpty()) {
        dlg::message(refusal, this);
        return false;
    }
    reports::ReportForms &forms = reports::ReportForms::instance();
    try {
        switch (reports::layoutFor(s)) {
        case reports::Layout::Text:
            forms.frmtestreport2.recreate();
            resultprint2(patient, rows, graph);
            break;
        case reports::Layout::Large:
            forms.frmtestreport1.recreate();
            resultprint1(patient, rows, graph);
            break;
        case reports::Layout::HalfSheet:
            forms.frmtestreport.recreate();
            resultprintOn(int(reports::Layout::HalfSheet), patient, rows);
            break;
        }
    } catch (const report::ReportError &e) {
        dlg::error(e.message(), this);
        return false;
    }
    return true;
}

void TForm1::resultprint1(db::Dataset *patient, db::Dataset *rows, db::Dataset *)
{
    resultprintOn(int(reports::Layout::Large), patient, rows);
}

void TForm1::resultprint2(db::Dataset *patient, db::Dataset *rows, db::Dataset *)
{
    resultprintOn(int(reports::Layout::Text), patient, rows);
}

void TForm1::resultprintOn(int layout, db::Dataset *patient, db::Dataset *rows)
{
    const auto l = reports::Layout(layout);
    reports::ReportForms &forms = reports::ReportForms::instance();
    reports::printReport(reports::formFor(forms, l), l, reports::printSettingsOf(*this),
                         reports::reportContentOf(*this, patient, rows), forms);
}
