// The small window that shows how far a transfer of configuration values has got.
// It is shown without waiting (non-modal) while values are read or written.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QProgressBar;

class TKConfigProgress : public QDialog {
    Q_OBJECT
public:
    explicit TKConfigProgress(QWidget* parent = nullptr);

    // Starts at 0 with the given maximum; fileName is shown as given.
    void Setup(int maximum, const QString& fileName);
    // One step further.
    void Step();

    QFrame* Bevel() const { return bevel; }
    QLabel* FileNameLabel() const { return fileNameLabel; }
    QProgressBar* ProgressBar() const { return progressBar; }

private:
    QFrame* bevel;
    QLabel* downloadLabel;
    QLabel* fileNameLabel;
    QProgressBar* progressBar;
};
