// Page layout arithmetic: reading the boxes, fitting the paper image, placing the footer; the
// sheets that paper names stand for.

#include "print/papernames.h"
#include "print/printlayout.h"

#include <QtTest>

#include <optional>

using namespace vistrel;

Q_DECLARE_METATYPE(std::optional<float>)

class TestPrintLayout : public QObject
{
    Q_OBJECT
private slots:
    void parseInches_data();
    void parseInches();
    void roundTop_data();
    void roundTop();
    void refusals_data();
    void refusals();
    void defaultsGiveOneInchTop();
    void scalePreview_data();
    void scalePreview();
    void footerCurrentX_data();
    void footerCurrentX();
    void footerJoinsPathAndCredit();
    void paperNames_data();
    void paperNames();
};

void TestPrintLayout::parseInches_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<float>("value");

    QTest::newRow("whole number") << "7" << true << 7.0f;
    QTest::newRow("point as decimal mark") << "0.25" << true << 0.25f;
    QTest::newRow("blanks around it") << "  1.5 " << true << 1.5f;
    QTest::newRow("negative") << "-2" << true << -2.0f;
    QTest::newRow("leading point") << ".5" << true << 0.5f;
    QTest::newRow("empty") << "" << false << 0.0f;
    QTest::newRow("only blanks") << "   " << false << 0.0f;
    QTest::newRow("letters") << "abc" << false << 0.0f;
    QTest::newRow("number then letters") << "5in" << false << 0.0f;
    QTest::newRow("comma as decimal mark") << "0,5" << false << 0.0f;
    QTest::newRow("infinity") << "inf" << false << 0.0f;
    QTest::newRow("not a number") << "nan" << false << 0.0f;
    QTest::newRow("beyond single precision") << "1e40" << false << 0.0f;
}

void TestPrintLayout::parseInches()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(float, value);
    const std::optional<float> parsed = vistrel::parseInches(text);
    QCOMPARE(parsed.has_value(), accepted);
    if (accepted)
        QCOMPARE(*parsed, value);
}

void TestPrintLayout::roundTop_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("top");

    QTest::newRow("0.51 goes up to 1") << "0.51" << true << 1;
    QTest::newRow("0.5 goes to even 0") << "0.5" << true << 0;
    QTest::newRow("1.5 goes to even 2") << "1.5" << true << 2;
    QTest::newRow("2.5 goes to even 2") << "2.5" << true << 2;
    QTest::newRow("0.49 goes down to 0") << "0.49" << true << 0;
    QTest::newRow("1.49 goes down to 1") << "1.49" << true << 1;
    QTest::newRow("-0.5 goes to even 0") << "-0.5" << true << 0;
    QTest::newRow("-1.5 goes to even -2") << "-1.5" << true << -2;
    QTest::newRow("largest 16-bit value") << "32767" << true << 32767;
    QTest::newRow("smallest 16-bit value") << "-32768" << true << -32768;
    QTest::newRow("32767.5 rounds past the range") << "32767.5" << false << 0;
    QTest::newRow("one past the range") << "32768" << false << 0;
    QTest::newRow("huge") << "1e30" << false << 0;
    QTest::newRow("huge negative") << "-1e30" << false << 0;
}

void TestPrintLayout::roundTop()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(int, top);
    PageBoxTexts texts = defaultPageBoxTexts();
    texts.top = text;
    const PageParamsResult result = readPageParams(texts);
    QCOMPARE(result.params.has_value(), accepted);
    if (accepted)
        QCOMPARE(int(result.params->top), top);
    else
        QCOMPARE(result.badBox, PageBox::Top);
}

void TestPrintLayout::refusals_data()
{
    QTest::addColumn<QString>("height");
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("top");
    QTest::addColumn<int>("badBox");
    QTest::addColumn<QString>("named");

    const int h = int(PageBox::Height), w = int(PageBox::Width), l = int(PageBox::Left),
              t = int(PageBox::Top);
    QTest::newRow("empty height") << ""
                                  << "7"
                                  << "0.5"
                                  << "0.51" << h << "\"Height\"";
    QTest::newRow("letters in width") << "5"
                                      << "abc"
                                      << "0.5"
                                      << "0.51" << w << "\"Width\"";
    QTest::newRow("empty left") << "5"
                                << "7"
                                << ""
                                << "0.51" << l << "\"Left\"";
    QTest::newRow("empty top") << "5"
                               << "7"
                               << "0.5"
                               << "" << t << "\"Top\"";
    QTest::newRow("negative height") << "-1"
                                     << "7"
                                     << "0.5"
                                     << "0.51" << h << "negative";
    QTest::newRow("negative width") << "5"
                                    << "-0.1"
                                    << "0.5"
                                    << "0.51" << w << "negative";
    QTest::newRow("width beyond range") << "5"
                                        << "40000"
                                        << "0.5"
                                        << "0.51" << w << "range of 0 to 32767 inches";
    QTest::newRow("left beyond range") << "5"
                                       << "7"
                                       << "-40000"
                                       << "0.51" << l << "range of -32768 to 32767 inches";
    QTest::newRow("top beyond range") << "5"
                                      << "7"
                                      << "0.5"
                                      << "99999" << t << "range";
    QTest::newRow("first bad box in reading order") << "x"
                                                    << "y"
                                                    << "z"
                                                    << "w" << h << "\"Height\"";
    QTest::newRow("height read before width") << "5"
                                              << "y"
                                              << "z"
                                              << "w" << w << "\"Width\"";
}

void TestPrintLayout::refusals()
{
    QFETCH(QString, height);
    QFETCH(QString, width);
    QFETCH(QString, left);
    QFETCH(QString, top);
    QFETCH(int, badBox);
    QFETCH(QString, named);
    const PageParamsResult result = readPageParams({height, width, left, top});
    QVERIFY(!result.params);
    QCOMPARE(int(result.badBox), badBox);
    QVERIFY2(result.problem.contains(pageBoxName(result.badBox)), qPrintable(result.problem));
    QVERIFY2(result.problem.contains(named), qPrintable(result.problem));
}

void TestPrintLayout::defaultsGiveOneInchTop()
{
    const PageParamsResult result = readPageParams(defaultPageBoxTexts());
    QVERIFY(result.params);
    QCOMPARE(result.params->height, 5.0f);
    QCOMPARE(result.params->width, 7.0f);
    QCOMPARE(result.params->left, 0.5f);
    QCOMPARE(int(result.params->top), 1);
    QVERIFY(result.problem.isEmpty());
}

void TestPrintLayout::scalePreview_data()
{
    QTest::addColumn<double>("paperWidth");
    QTest::addColumn<double>("paperHeight");
    QTest::addColumn<double>("imageWidth");
    QTest::addColumn<double>("imageHeight");
    QTest::addColumn<int>("sideSet");
    QTest::addColumn<double>("factor");
    QTest::addColumn<double>("newLength");

    const int setWidth = PreviewScale::Width, setHeight = PreviewScale::Height;
    // Letter: rx = 3.3/8.5 = 0.3882 < ry = 4.5/11 = 0.4091, so the height follows the width.
    QTest::newRow("letter portrait sets height")
        << 8.5 << 11.0 << 3.3 << 4.5 << setHeight << 3.3 / 8.5 << 11.0 * 3.3 / 8.5;
    // A4: ry = 4.5/11.69 = 0.3849 < rx = 3.3/8.27 = 0.3990, so the width follows the height.
    QTest::newRow("A4 portrait sets width")
        << 8.27 << 11.69 << 3.3 << 4.5 << setWidth << 4.5 / 11.69 << 8.27 * 4.5 / 11.69;
    QTest::newRow("letter landscape sets height")
        << 11.0 << 8.5 << 3.3 << 4.5 << setHeight << 3.3 / 11.0 << 8.5 * 3.3 / 11.0;
    QTest::newRow("equal ratios set height")
        << 8.0 << 10.0 << 4.0 << 5.0 << setHeight << 0.5 << 5.0;
    QTest::newRow("wide image, tall paper sets width")
        << 8.5 << 11.0 << 10.0 << 4.0 << setWidth << 4.0 / 11.0 << 8.5 * 4.0 / 11.0;
}

void TestPrintLayout::scalePreview()
{
    QFETCH(double, paperWidth);
    QFETCH(double, paperHeight);
    QFETCH(double, imageWidth);
    QFETCH(double, imageHeight);
    QFETCH(int, sideSet);
    QFETCH(double, factor);
    QFETCH(double, newLength);
    const PreviewScale scale =
        vistrel::scalePreview(paperWidth, paperHeight, imageWidth, imageHeight);
    QCOMPARE(int(scale.sideSet), sideSet);
    QCOMPARE(scale.factor, factor);
    QCOMPARE(scale.newLength, float(newLength));
}

void TestPrintLayout::footerCurrentX_data()
{
    QTest::addColumn<double>("surfaceWidth");
    QTest::addColumn<double>("textWidth");
    QTest::addColumn<int>("currentX");

    QTest::newRow("4.2 free gives 2") << 8.5 << 4.3 << 2;
    QTest::newRow("3.7 free gives 2") << 8.5 << 4.8 << 2;
    QTest::newRow("5.5 free gives 3") << 8.5 << 3.0 << 3;
    QTest::newRow("4.5 free gives 2") << 8.5 << 4.0 << 2;
    QTest::newRow("5 free gives 2") << 8.5 << 3.5 << 2;
    QTest::newRow("1.5 too wide gives -1") << 8.5 << 10.0 << -1;
    QTest::newRow("0.4 too wide gives 0") << 8.5 << 8.9 << 0;
    QTest::newRow("2.6 too wide gives -1") << 8.5 << 11.1 << -1;
    QTest::newRow("3.5 too wide gives -2") << 8.5 << 12.0 << -2;
}

void TestPrintLayout::footerCurrentX()
{
    QFETCH(double, surfaceWidth);
    QFETCH(double, textWidth);
    QFETCH(int, currentX);
    QCOMPARE(vistrel::footerCurrentX(surfaceWidth, textWidth), currentX);
}

void TestPrintLayout::footerJoinsPathAndCredit()
{
    const QString footer = footerText(QStringLiteral("/pics/a.jpg"));
    QVERIFY2(footer.startsWith(QStringLiteral("/pics/a.jpg VISTREL")), qPrintable(footer));
    QVERIFY(footer.length() > QStringLiteral("/pics/a.jpg VISTREL").length());
    QVERIFY(footerText(QString()).startsWith(QStringLiteral(" VISTREL")));
}

void TestPrintLayout::paperNames_data()
{
    // points: the sheet in points (empty: no sheet); pwg: the name a job asks for it by.
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QSize>("points");
    QTest::addColumn<QByteArray>("pwg");

    const QSize letter(612, 792), a4(595, 842), legal(612, 1008);
    const QByteArray naLetter("na_letter_8.5x11in"), isoA4("iso_a4_210x297mm");
    QTest::newRow("service name, Letter") << QByteArray("na_letter_8.5x11in") << letter << naLetter;
    QTest::newRow("service name, A4") << QByteArray("iso_a4_210x297mm") << a4 << isoA4;
    QTest::newRow("service name, Legal")
        << QByteArray("na_legal_8.5x14in") << legal << QByteArray("na_legal_8.5x14in");
    QTest::newRow("service name, borderless variant")
        << QByteArray("na_letter_8.5x11in_borderless") << letter
        << QByteArray("na_letter_8.5x11in_borderless");
    QTest::newRow("older IPP name, na-letter") << QByteArray("na-letter") << letter << naLetter;
    QTest::newRow("older IPP name, iso-a4") << QByteArray("iso-a4") << a4 << isoA4;
    QTest::newRow("description name, Letter") << QByteArray("Letter") << letter << naLetter;
    QTest::newRow("description name, A4") << QByteArray("A4") << a4 << isoA4;
    QTest::newRow("description name, Legal")
        << QByteArray("Legal") << legal << QByteArray("na_legal_8.5x14in");
    QTest::newRow("description name, A5")
        << QByteArray("A5") << QSize(420, 595) << QByteArray("iso_a5_148x210mm");
    QTest::newRow("description name, A3")
        << QByteArray("A3") << QSize(842, 1191) << QByteArray("iso_a3_297x420mm");
    QTest::newRow("description name, Executive")
        << QByteArray("Executive") << QSize(522, 756) << QByteArray("na_executive_7.25x10.5in");
    QTest::newRow("description name, Tabloid")
        << QByteArray("Tabloid") << QSize(792, 1224) << QByteArray("na_ledger_11x17in");
    QTest::newRow("typed in small letters, letter") << QByteArray("letter") << letter << naLetter;
    QTest::newRow("typed in small letters, a4") << QByteArray("a4") << a4 << isoA4;
    QTest::newRow("typed in capitals, LEGAL")
        << QByteArray("LEGAL") << legal << QByteArray("na_legal_8.5x14in");
    QTest::newRow("full-bleed variant") << QByteArray("Letter.Fullbleed") << letter << naLetter;
    QTest::newRow("small-margin variant") << QByteArray("A4Small") << a4 << isoA4;
    QTest::newRow("size in points") << QByteArray("w612h792") << letter << naLetter;
    QTest::newRow("custom size") << QByteArray("Custom.8x10in") << QSize(576, 720)
                                 << QByteArray("custom_8x10in_8x10in");
    QTest::newRow("with a tray after it") << QByteArray("A4,tray-1") << a4 << isoA4;
    QTest::newRow("unknown first, known second")
        << QByteArray("tray-1,Letter") << letter << naLetter;
    QTest::newRow("empty") << QByteArray() << QSize() << QByteArray();
    QTest::newRow("description without a default")
        << QByteArray("Unknown") << QSize() << QByteArray();
    QTest::newRow("not a paper") << QByteArray("Plain") << QSize() << QByteArray();
}

void TestPrintLayout::paperNames()
{
    QFETCH(QByteArray, name);
    QFETCH(QSize, points);
    QFETCH(QByteArray, pwg);
    const std::optional<NamedPaper> paper = paperNamed(name);
    QCOMPARE(paper.has_value(), points.isValid());
    if (!paper)
        return;
    QCOMPARE(paper->size.sizePoints(), points);
    QCOMPARE(paper->pwg, pwg);
    QCOMPARE(pwgNameOf(paper->size).isEmpty(), false);
}

QTEST_GUILESS_MAIN(TestPrintLayout)
#include "test_printlayout.moc"
