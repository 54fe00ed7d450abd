// The hyperlink label: the three targets of Navigate, the beep, the colours,
// and the click and space key that open it.

#include "StaticLink.h"
#include "ControlIds.h"
#include "Controls.h"

#include <QTest>

#include <set>

namespace {

// Opens only the targets it is told to, and records every attempt.
struct Opener {
    std::set<std::string> opens;
    std::vector<std::string> attempts;
    int beeps = 0;

    void Attach(CStaticLink& link) {
        link.SetOpener([this](const std::string& target) {
            attempts.push_back(target);
            return opens.count(target) > 0;
        });
        link.SetBeeper([this] { ++beeps; });
    }
};

} // namespace

class StaticLinkTest : public QObject {
    Q_OBJECT

private slots:
    void navigateTriesLinkThenResourceThenText();
    void nothingToOpenBeepsAndKeepsTheColour();
    void clickAndSpaceOpenTheLink();
    void textLabelsLookLikeLinks();
    void focusRectangleComesAndGoes();
};

void StaticLinkTest::navigateTriesLinkThenResourceThenText() {
    // The link text itself.
    CStaticLink direct("https://direct.example/");
    Opener first;
    first.opens = {"https://direct.example/"};
    first.Attach(direct);
    QVERIFY(direct.Navigate());
    QCOMPARE(first.attempts, std::vector<std::string>({"https://direct.example/"}));

    // An empty link: the address kept for the control's id, kept for later.
    CStaticLink logo;
    SetControl(&logo, ids::IDC_LOGO_LINK, QStringLiteral("logoLink"));
    Opener second;
    second.opens = {"https://larkspur.example/"};
    second.Attach(logo);
    QVERIFY(logo.Navigate());
    QCOMPARE(second.attempts, std::vector<std::string>({"https://larkspur.example/"}));
    QCOMPARE(logo.GetLink(), std::string("https://larkspur.example/"));

    // A link that fails and no address for the id: the label's own text.
    CStaticLink text("https://broken.example/");
    SetControl(&text, 4242, QStringLiteral("otherLink"));
    text.setText(QStringLiteral("https://text.example/"));
    Opener third;
    third.opens = {"https://text.example/"};
    third.Attach(text);
    QVERIFY(text.Navigate());
    QCOMPARE(third.attempts,
             std::vector<std::string>({"https://broken.example/", "https://text.example/"}));
    QCOMPARE(third.beeps, 0);
}

void StaticLinkTest::nothingToOpenBeepsAndKeepsTheColour() {
    CStaticLink empty;
    Opener none;
    none.Attach(empty);
    QVERIFY(!empty.Navigate());
    QVERIFY(none.attempts.empty());
    QCOMPARE(none.beeps, 1);

    CStaticLink failing("https://a.example/");
    SetControl(&failing, ids::IDC_TEXT_LINK, QStringLiteral("textLink"));
    failing.setText(QStringLiteral("https://b.example/"));
    Opener refuses;
    refuses.Attach(failing);
    QVERIFY(!failing.Navigate());
    QCOMPARE(refuses.attempts.size(), size_t(3));
    QCOMPARE(refuses.beeps, 1);
    QCOMPARE(failing.GetColor(), CStaticLink::s_colorUnvisited);
}

void StaticLinkTest::clickAndSpaceOpenTheLink() {
    CStaticLink link("https://larkspur.example/");
    link.setText(QStringLiteral("larkspur"));
    link.setFocusPolicy(Qt::StrongFocus);
    Opener opener;
    opener.opens = {"https://larkspur.example/"};
    opener.Attach(link);
    link.show();
    QTest::mouseClick(&link, Qt::LeftButton);
    QCOMPARE(opener.attempts.size(), size_t(1));
    QTest::mouseClick(&link, Qt::RightButton);
    QTest::keyClick(&link, Qt::Key_A);
    QCOMPARE(opener.attempts.size(), size_t(1));
    QTest::keyClick(&link, Qt::Key_Space);
    QCOMPARE(opener.attempts.size(), size_t(2));
}

void StaticLinkTest::textLabelsLookLikeLinks() {
    CStaticLink link("https://larkspur.example/");
    link.setText(QStringLiteral("larkspur.example"));
    Opener opener;
    opener.opens = {"https://larkspur.example/"};
    opener.Attach(link);
    QCOMPARE(link.cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(link.font().underline());
    QCOMPARE(link.palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QVERIFY(link.Navigate());
    QCOMPARE(link.palette().color(QPalette::WindowText), QColor(128, 0, 128));
    QCOMPARE(link.GetColor(), CStaticLink::s_colorVisited);
}

void StaticLinkTest::focusRectangleComesAndGoes() {
    QWidget window;
    auto* link = new CStaticLink("https://larkspur.example/", &window);
    link->setText(QStringLiteral("larkspur.example"));
    link->setFocusPolicy(Qt::StrongFocus);
    link->setGeometry(10, 10, 200, 30);
    auto* other = new QWidget(&window);
    other->setFocusPolicy(Qt::StrongFocus);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    other->setFocus();
    const QImage before = link->grab().toImage();
    link->setFocus();
    QVERIFY(link->hasFocus());
    const QImage focused = link->grab().toImage();
    other->setFocus();
    const QImage after = link->grab().toImage();
    QVERIFY(focused != before);
    QCOMPARE(after, before);
}

QTEST_MAIN(StaticLinkTest)
#include "StaticLinkTest.moc"
