#include "editor/IniFiles.h"
#include "editor/Unit1.h"

namespace {

// The curve file's sections are named like the value boxes' columns: section "ADV" holds the
// boxes "SpinEditADV1" to "SpinEditADV13".
const QString AdvanceSection = QStringLiteral("ADV");
const QString RpmSection = QStringLiteral("RPM");

TSpinEdit* FindBox(const TForm1& form, const QString& section, int point) {
    return form.FindSpinEdit(QStringLiteral("SpinEdit") + section + QString::number(point));
}

void ReportFileError(TForm1& form, const EIniFileException& error) {
    form.Platform().MessageBox->Show(
        &form, ApplicationTitle(), QString::fromUtf8(IniFileAccessErrorMessage) + error.Message());
}

void SaveBox(TForm1& form, TIniFile& file, const QString& section, int point) {
    TSpinEdit* box = FindBox(form, section, point);
    if (!box)
        return;
    try {
        file.WriteInteger(section, QString::number(point), box->Value());
    } catch (const EIniFileException& error) {
        ReportFileError(form, error);
    }
}

// The box's current value is the default, so a missing or unreadable key leaves the box as
// it is; writing the box runs its rule when the text changes.
void LoadBox(TForm1& form, TIniFile& file, const QString& section, int point) {
    TSpinEdit* box = FindBox(form, section, point);
    if (!box)
        return;
    try {
        box->SetValue(file.ReadInteger(section, QString::number(point), box->Value()));
    } catch (const EIniFileException& error) {
        ReportFileError(form, error);
    }
}

} // namespace

void TForm1::B_SaveIniFileClick(QObject* /*Sender*/) {
    TIniFile file(QString::fromUtf8(CurveFileName));
    for (int point = 1; point <= PointCount; ++point) {
        SaveBox(*this, file, AdvanceSection, point);
        SaveBox(*this, file, RpmSection, point);
    }
}

// Points load one after the other, advance then RPM, so each RPM's pushes are in place before
// the next point's default is read.
void TForm1::B_LoadIniFileClick(QObject* /*Sender*/) {
    TIniFile file(QString::fromUtf8(CurveFileName));
    for (int point = 1; point <= PointCount; ++point) {
        LoadBox(*this, file, AdvanceSection, point);
        LoadBox(*this, file, RpmSection, point);
    }
}
