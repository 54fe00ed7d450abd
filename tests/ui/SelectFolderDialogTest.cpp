// The folder chooser: its look, the Current Folder box following the browsed
// folder, and every way "Select" can end.

#include "SelectFolderDialog.h"
#include "UiFakes.h"

#include "TempDir.h"

#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <fstream>

namespace {

QPushButton* SelectButton(const QFileDialog& dialog) {
    return dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))
        ->button(QDialogButtonBox::Open);
}

QLineEdit* FolderBox(const QFileDialog& dialog) {
    return dialog.findChild<QLineEdit*>(QStringLiteral("folderEdit"));
}

// What one press of "Select" led to.
struct Outcome {
    bool accepted = false;
    std::string folder;
    std::vector<FakeMessageBoxes::Shown> shown;
};

// Opens a chooser in `start`, types `typed` into the Current Folder box and
// presses "Select", answering Yes/No questions with `answer`.
Outcome Select(const std::string& start, const std::string& typed,
               IMessageBoxes::Answer answer = IMessageBoxes::Answer::No) {
    FakeMessageBoxes boxes;
    boxes.answers.push_back(answer);
    CSelectFolderDialog dialog(false, start, "*.tif", nullptr, boxes);
    dialog.show();
    FolderBox(dialog)->setText(QString::fromStdString(typed));
    SelectButton(dialog)->click();
    Outcome outcome;
    outcome.accepted = dialog.result() == QDialog::Accepted && !dialog.isVisible();
    outcome.folder = dialog.GetSelectedFolder();
    outcome.shown = boxes.shown;
    return outcome;
}

// The list or the detail view, whichever the dialog shows.
QAbstractItemView* BrowsedView(const QFileDialog& dialog) {
    auto* list = dialog.findChild<QAbstractItemView*>(QStringLiteral("listView"));
    return list->isVisible() ? list
                             : dialog.findChild<QAbstractItemView*>(QStringLiteral("treeView"));
}

QStringList ListedNames(const QFileDialog& dialog) {
    QAbstractItemView* list = BrowsedView(dialog);
    QStringList names;
    const QModelIndex root = list->rootIndex();
    for (int row = 0; row < list->model()->rowCount(root); ++row) {
        names << list->model()->index(row, 0, root).data().toString();
    }
    return names;
}

} // namespace

class SelectFolderDialogTest : public QObject {
    Q_OBJECT

private slots:
    void looksLikeAFolderChooser();
    void listsFoldersAndFollowsBrowsing();
    void returnsExistingFoldersWithOneSlash();
    void refusesDoubledSeparatorsAndFiles();
    void offersToCreateMissingFolders();
    void reportsFoldersThatCannotBeMade();
    void cancelReturnsNothing();
};

void SelectFolderDialogTest::looksLikeAFolderChooser() {
    FakeMessageBoxes boxes;
    CSelectFolderDialog dialog(false, "/tmp/start/", "*.tif", nullptr, boxes);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Select folder"));
    dialog.SetTitle("Select destination folder");
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Select destination folder"));
    dialog.show();
    QCOMPARE(SelectButton(dialog)->text(), QStringLiteral("Select"));
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("fileNameLabel"))->text(),
             QStringLiteral("Current Folder"));
    QCOMPARE(FolderBox(dialog)->text(), QStringLiteral("/tmp/start/"));
    QVERIFY(FolderBox(dialog)->isVisible());
    QVERIFY(!dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->isVisible());
    QVERIFY(!dialog.findChild<QWidget*>(QStringLiteral("fileTypeCombo"))->isVisible());
}

void SelectFolderDialogTest::listsFoldersAndFollowsBrowsing() {
    fx::TempDir temp;
    const std::string sub = temp.mkdir("sub");
    std::ofstream(temp.file("a.tif")) << "x";
    FakeMessageBoxes boxes;
    CSelectFolderDialog dialog(false, temp.path(), "*.tif", nullptr, boxes);
    dialog.show();
    QTRY_VERIFY(ListedNames(dialog).contains(QStringLiteral("sub")));
    QVERIFY(!ListedNames(dialog).contains(QStringLiteral("a.tif")));

    QAbstractItemView* list = BrowsedView(dialog);
    QModelIndex subIndex;
    for (int row = 0; row < list->model()->rowCount(list->rootIndex()); ++row) {
        const QModelIndex index = list->model()->index(row, 0, list->rootIndex());
        if (index.data().toString() == QStringLiteral("sub")) {
            subIndex = index;
        }
    }
    QVERIFY(subIndex.isValid());
    list->setFocus();
    list->setCurrentIndex(subIndex);
    QTest::keyClick(list, Qt::Key_Return);
    QTRY_COMPARE(FolderBox(dialog)->text().toStdString(), sub);
    QVERIFY(dialog.isVisible());

    // With the box emptied, "Select" takes the folder being browsed.
    FolderBox(dialog)->clear();
    SelectButton(dialog)->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.GetSelectedFolder(), sub + "/");
    QVERIFY(boxes.shown.empty());
}

void SelectFolderDialogTest::returnsExistingFoldersWithOneSlash() {
    fx::TempDir temp;
    const std::string photos = temp.mkdir("photos");
    for (const std::string& typed : {photos, photos + "/"}) {
        const Outcome outcome = Select(temp.path(), typed);
        QVERIFY(outcome.accepted);
        QCOMPARE(outcome.folder, photos + "/");
        QVERIFY(outcome.shown.empty());
    }
    QCOMPARE(Select(temp.path(), "/").folder, std::string("/"));
    // A bare name is taken inside the folder being browsed.
    QCOMPARE(Select(temp.path(), "photos").folder, photos + "/");
}

void SelectFolderDialogTest::refusesDoubledSeparatorsAndFiles() {
    fx::TempDir temp;
    const std::string photos = temp.mkdir("photos");
    std::ofstream(temp.file("image.tif")) << "x";
    for (const std::string& typed :
         {std::string("//server/share"), temp.path() + "//photos", temp.file("image.tif")}) {
        const Outcome outcome = Select(temp.path(), typed);
        QVERIFY2(!outcome.accepted, typed.c_str());
        QCOMPARE(outcome.folder, std::string());
        QCOMPARE(outcome.shown.size(), size_t(1));
        QCOMPARE(outcome.shown[0].text, std::string("Invalid Folder"));
        QVERIFY(outcome.shown[0].icon == IMessageBoxes::Icon::Error);
    }
}

void SelectFolderDialogTest::offersToCreateMissingFolders() {
    fx::TempDir temp;
    const std::string wanted = temp.path() + "/new/deeper";
    const Outcome yes = Select(temp.path(), wanted + "/", IMessageBoxes::Answer::Yes);
    QVERIFY(yes.accepted);
    QCOMPARE(yes.folder, wanted + "/");
    QVERIFY(fx::PathExists(wanted));
    QCOMPARE(yes.shown.size(), size_t(1));
    QCOMPARE(yes.shown[0].text, wanted + "\n\nThis path does not exist. Do you want to create it?");
    QVERIFY(yes.shown[0].icon == IMessageBoxes::Icon::Question);
    QVERIFY(yes.shown[0].buttons == IMessageBoxes::Buttons::YesNo);

    const std::string declined = temp.path() + "/later";
    const Outcome no = Select(temp.path(), declined, IMessageBoxes::Answer::No);
    QVERIFY(no.accepted);
    QCOMPARE(no.folder, declined + "/");
    QVERIFY(!fx::PathExists(declined));
}

void SelectFolderDialogTest::reportsFoldersThatCannotBeMade() {
    fx::TempDir temp;
    std::ofstream(temp.file("plain")) << "x";
    const std::string impossible = temp.file("plain") + "/inside";
    const Outcome outcome = Select(temp.path(), impossible, IMessageBoxes::Answer::Yes);
    QVERIFY(!outcome.accepted);
    QCOMPARE(outcome.folder, std::string());
    QCOMPARE(outcome.shown.size(), size_t(2));
    QCOMPARE(outcome.shown[1].text, "Could not create folder:\n" + impossible);
    QVERIFY(outcome.shown[1].icon == IMessageBoxes::Icon::None);
}

void SelectFolderDialogTest::cancelReturnsNothing() {
    fx::TempDir temp;
    FakeMessageBoxes boxes;
    CSelectFolderDialog dialog(false, temp.path(), "*.tif", nullptr, boxes);
    dialog.show();
    dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))
        ->button(QDialogButtonBox::Cancel)
        ->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(dialog.GetSelectedFolder(), std::string());
}

QTEST_MAIN(SelectFolderDialogTest)
#include "SelectFolderDialogTest.moc"
