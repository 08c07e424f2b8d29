// A status panel: which label of a status bar it shows its texts in, and what
// happens when there is none.
#include "datalink/KQStatusPanel.h"

#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QTest>

#include <memory>

class TestKQStatusPanel : public QObject {
    Q_OBJECT

private slots:
    void panelsAreTheLabelsInTheOrderAdded();
    void indexSelectsPanel_data();
    void indexSelectsPanel();
    void withoutStatusBarIndexIsZeroAndTextsAreDropped();
    void newStatusBarResolvesTheSameIndexAgain();
    void destroyedStatusBarClearsEverything();
    void destroyedPanelIsForgotten();
};

void TestKQStatusPanel::panelsAreTheLabelsInTheOrderAdded()
{
    QStatusBar bar;
    bar.setSizeGripEnabled(true);
    QLabel* first = TKQStatusPanel::AddPanel(&bar, 200, QStringLiteral("Not Active."));
    auto* second = new QLabel(QStringLiteral("Control Status:  Not Communicating"));
    bar.addPermanentWidget(second);
    bar.showMessage(QStringLiteral("a passing message"));

    const QList<QLabel*> panels = TKQStatusPanel::Panels(&bar);
    QCOMPARE(panels.size(), 2);
    QCOMPARE(panels[0], first);
    QCOMPARE(panels[1], second);
    QCOMPARE(first->width(), 200);
    QCOMPARE(first->parent(), &bar);
}

void TestKQStatusPanel::indexSelectsPanel_data()
{
    QTest::addColumn<int>("panelCount");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("shownIn"); // "" when no panel shows it

    QTest::newRow("first") << 2 << 0 << "panel 0";
    QTest::newRow("second") << 2 << 1 << "panel 1";
    QTest::newRow("past the last") << 2 << 2 << "";
    QTest::newRow("negative") << 2 << -1 << "";
    QTest::newRow("bar without panels") << 0 << 0 << "";
}

void TestKQStatusPanel::indexSelectsPanel()
{
    QFETCH(int, panelCount);
    QFETCH(int, index);
    QFETCH(QString, shownIn);

    QStatusBar bar;
    for (int i = 0; i < panelCount; ++i)
        TKQStatusPanel::AddPanel(&bar, 100, QStringLiteral("panel %1").arg(i));
    TKQStatusPanel panel;
    panel.SetStatusBar(&bar);
    panel.SetPanelIndex(index);
    QCOMPARE(panel.PanelIndex(), index);

    if (shownIn.isEmpty()) {
        QVERIFY(!panel.Panel());
        QCOMPARE(panel.Text(), QString());
    } else {
        QCOMPARE(panel.Text(), shownIn);
    }
    panel.SetText(QStringLiteral("Active."));
    for (QLabel* label : TKQStatusPanel::Panels(&bar))
        QCOMPARE(label->text() == QStringLiteral("Active."), label == panel.Panel());
    QCOMPARE(panel.Text(), shownIn.isEmpty() ? QString() : QStringLiteral("Active."));
}

void TestKQStatusPanel::withoutStatusBarIndexIsZeroAndTextsAreDropped()
{
    TKQStatusPanel panel;
    panel.SetPanelIndex(1);
    QCOMPARE(panel.PanelIndex(), 0);
    panel.SetText(QStringLiteral("Starting server ..."));
    QCOMPARE(panel.Text(), QString());
    QVERIFY(!panel.StatusBar());
}

void TestKQStatusPanel::newStatusBarResolvesTheSameIndexAgain()
{
    QStatusBar one;
    QStatusBar other;
    for (QStatusBar* bar : {&one, &other}) {
        TKQStatusPanel::AddPanel(bar, 200, QStringLiteral("Not Active."));
        TKQStatusPanel::AddPanel(bar, 300, QString());
    }
    TKQStatusPanel panel;
    panel.SetStatusBar(&one);
    panel.SetPanelIndex(1);
    panel.SetStatusBar(&other);
    panel.SetText(QStringLiteral("Active."));

    QCOMPARE(panel.StatusBar(), &other);
    QCOMPARE(TKQStatusPanel::Panels(&other)[1]->text(), QStringLiteral("Active."));
    QCOMPARE(TKQStatusPanel::Panels(&one)[1]->text(), QString());

    panel.SetStatusBar(nullptr);
    QCOMPARE(panel.PanelIndex(), 0);
    QVERIFY(!panel.Panel());
}

void TestKQStatusPanel::destroyedStatusBarClearsEverything()
{
    auto bar = std::make_unique<QStatusBar>();
    TKQStatusPanel::AddPanel(bar.get(), 200);
    TKQStatusPanel::AddPanel(bar.get(), 300);
    TKQStatusPanel panel;
    panel.SetStatusBar(bar.get());
    panel.SetPanelIndex(1);
    bar.reset();

    QVERIFY(!panel.StatusBar());
    QCOMPARE(panel.PanelIndex(), 0);
    QVERIFY(!panel.Panel());
    panel.SetText(QStringLiteral("Not Active."));
    QCOMPARE(panel.Text(), QString());
}

void TestKQStatusPanel::destroyedPanelIsForgotten()
{
    QStatusBar bar;
    QLabel* label = TKQStatusPanel::AddPanel(&bar, 200);
    TKQStatusPanel panel;
    panel.SetStatusBar(&bar);
    delete label;

    QVERIFY(!panel.Panel());
    panel.SetText(QStringLiteral("Not Active."));
    QCOMPARE(panel.Text(), QString());
}

QTEST_MAIN(TestKQStatusPanel)
#include "tst_kqstatuspanel.moc"
