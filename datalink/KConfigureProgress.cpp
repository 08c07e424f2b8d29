#include "datalink/KConfigureProgress.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

TKConfigProgress::TKConfigProgress(QWidget* parent)
    : QDialog(parent)
    , bevel(new QFrame(this))
    , downloadLabel(new QLabel(QStringLiteral("Download File:"), bevel))
    , fileNameLabel(new QLabel(bevel))
    , progressBar(new QProgressBar(bevel))
{
    setWindowTitle(QStringLiteral("Configure Progress"));
    setModal(false);
    setObjectName(QStringLiteral("ConfigProgress"));
    bevel->setObjectName(QStringLiteral("Bevel1"));
    downloadLabel->setObjectName(QStringLiteral("Label1"));
    fileNameLabel->setObjectName(QStringLiteral("FileNameLabel"));
    progressBar->setObjectName(QStringLiteral("ProgressBar1"));

    bevel->setFrameShape(QFrame::Box);
    bevel->setFrameShadow(QFrame::Sunken);
    progressBar->setMinimum(0);
    progressBar->setMaximum(0);
    progressBar->setValue(0);
    progressBar->setTextVisible(false);
    fileNameLabel->setMinimumWidth(fontMetrics().averageCharWidth() * 24);

    auto* grid = new QGridLayout(bevel);
    grid->addWidget(downloadLabel, 0, 0);
    grid->addWidget(fileNameLabel, 0, 1);
    grid->addWidget(progressBar, 1, 0, 1, 2);
    grid->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bevel);
}

void TKConfigProgress::Setup(int maximum, const QString& fileName)
{
    progressBar->setRange(0, maximum);
    progressBar->setValue(0);
    fileNameLabel->setText(fileName);
}

void TKConfigProgress::Step()
{
    if (progressBar->value() < progressBar->maximum())
        progressBar->setValue(progressBar->value() + 1);
}
