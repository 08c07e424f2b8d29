// Copies all changeable values of a control to a values file and back.
//
// A values file is plain ANSI (Latin-1) text, one record per line, lines ended
// by CR LF: the item's upper-case name, one TAB, the value as text. Records come
// in the order of the control's list of changeable items; empty lines are
// skipped on reading; there is no header or trailer (docs/values-file.md).
#pragma once

#include "datalink/KContainer.h"
#include "datalink/KQDatorelControl.h"
#include "platform/Exception.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>

class QSaveFile;
class TKConfigProgress;
class TKQStatusPanel;

// A file that cannot be opened, read or written.
class EInOutError : public Exception {
public:
    using Exception::Exception;
};

// A values file that is not made of records.
class EConfigSyntaxError : public Exception {
public:
    using Exception::Exception;
};

class TKQDatorelConfig : public QObject, public TObject {
    Q_OBJECT
    Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)
    Q_PROPERTY(TKQDatorelControl* Device READ Device WRITE SetDevice)
public:
    // Longest value taken from a record.
    static constexpr int MaxValueLength = 256;

    explicit TKQDatorelConfig(QObject* owner = nullptr);
    ~TKQDatorelConfig() override;

    const QString& FileName() const { return fileName; }
    void SetFileName(const QString& value) { fileName = value; }
    // Not owned; cleared when the control is freed.
    TKQDatorelControl* Device() const { return device; }
    void SetDevice(TKQDatorelControl* value) { device = value; }
    TKQStatusPanel* StatusPanel() const { return statusPanel.get(); }

    // Writes the value of every changeable item of Device to the file. The file
    // is replaced only when every value was read; on any failure an existing
    // file stays as it was. Without Device the file is made empty.
    void SaveToFile(const QString& name);
    // Parses the file, puts the control into configure mode, writes every value
    // and has the control store them. The control is left in configure mode.
    // Without Device the file is only parsed.
    void LoadFromFile(const QString& name);

    // The records of the file FileName, as names and values of equal length.
    // Raises EInOutError or EConfigSyntaxError.
    void Parse(QStringList& names, QStringList& values);

private:
    void SetStatusText(const QString& text);
    void RestoreStatusText();
    std::unique_ptr<TKConfigProgress> ShowProgress(int maximum);
    void WriteValues(QSaveFile& file, TKConfigProgress* progress);
    void ConfigureControl(const QStringList& names, const QStringList& values, TKConfigProgress& progress);

    QPointer<TKQDatorelControl> device;
    std::unique_ptr<TKQStatusPanel> statusPanel;
    QString savedStatusText;
    QString fileName;
};
