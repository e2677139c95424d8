// The pure parsers under the FTP client: the reply reader, the 227 address, the listing lines.
#include "ftp/FtpReply.h"
#include "ftp/LineSplit.h"
#include "ftp/PassiveAddress.h"

#include <QTest>

using kavrin::ftp::FtpReply;
using kavrin::ftp::FtpReplyReader;
using Status = FtpReplyReader::Status;

Q_DECLARE_METATYPE(FtpReplyReader::Status)

class TestFtpParsers : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void replies_data();
    void replies();
    void replyArrivesInPieces();
    void limits_data();
    void limits();
    void errorSticksUntilCleared();
    void passive_data();
    void passive();
    void lines_data();
    void lines();
};

void TestFtpParsers::replies_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QList<int>>("codes"); // the replies taken, in order
    QTest::addColumn<QByteArray>("firstText");
    QTest::addColumn<QByteArray>("left"); // bytes still held after the last complete reply

    QTest::newRow("single line") << QByteArray("220 Ready\r\n") << QList<int> { 220 } << QByteArray("Ready")
                                 << QByteArray();
    QTest::newRow("code alone") << QByteArray("200\r\n") << QList<int> { 200 } << QByteArray() << QByteArray();
    QTest::newRow("bare LF") << QByteArray("250 Done\n") << QList<int> { 250 } << QByteArray("Done") << QByteArray();
    QTest::newRow("two replies in one read") << QByteArray("331 Password\r\n230 Logged in\r\n")
                                             << QList<int> { 331, 230 } << QByteArray("Password") << QByteArray();
    QTest::newRow("multi-line") << QByteArray("220-Welcome\r\n220-to the test\r\n220 Ready\r\n") << QList<int> { 220 }
                                << QByteArray("Welcome\n220-to the test\nReady") << QByteArray();
    // Inside a multi-line reply only "xyz " with the same code ends it.
    QTest::newRow("other codes inside multi-line")
        << QByteArray("230-Hello\r\n150 not the end\r\n230-still not\r\n  230 indented\r\n230 End\r\n")
        << QList<int> { 230 } << QByteArray("Hello\n150 not the end\n230-still not\n  230 indented\nEnd")
        << QByteArray();
    QTest::newRow("multi-line ended by the bare code")
        << QByteArray("211-Status\r\ntext\r\n211\r\n") << QList<int> { 211 } << QByteArray("Status\ntext\n")
        << QByteArray();
    QTest::newRow("incomplete multi-line") << QByteArray("220-Welcome\r\n220 Ready") << QList<int> {} << QByteArray()
                                           << QByteArray("220-Welcome\r\n220 Ready");
    QTest::newRow("incomplete second reply")
        << QByteArray("200 OK\r\n226 Trans") << QList<int> { 200 } << QByteArray("OK") << QByteArray("226 Trans");
    QTest::newRow("empty text with space")
        << QByteArray("350 \r\n") << QList<int> { 350 } << QByteArray() << QByteArray();
}

void TestFtpParsers::replies()
{
    QFETCH(QByteArray, input);
    QFETCH(QList<int>, codes);
    QFETCH(QByteArray, firstText);
    QFETCH(QByteArray, left);

    FtpReplyReader reader;
    reader.append(input);
    QList<int> taken;
    FtpReply reply;
    QByteArray text;
    while (reader.next(reply) == Status::Complete) {
        if (taken.isEmpty())
            text = reply.text();
        taken.append(reply.code);
    }
    QCOMPARE(taken, codes);
    QCOMPARE(text, firstText);
    QCOMPARE(reader.buffered(), left.size());
}

void TestFtpParsers::replyArrivesInPieces()
{
    const QByteArray input("220-Welcome\r\n220 Ready\r\n331 Password\r\n");
    FtpReplyReader reader;
    FtpReply reply;
    QList<int> taken;
    for (char c : input) {
        reader.append(QByteArrayView(&c, 1));
        while (reader.next(reply) == Status::Complete)
            taken.append(reply.code);
    }
    QCOMPARE(taken, (QList<int> { 220, 331 }));
    QCOMPARE(reader.buffered(), 0);
}

void TestFtpParsers::limits_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<Status>("status");

    const qsizetype maxLine = FtpReplyReader::maxLineLength;
    QTest::newRow("no code") << QByteArray("Hello\r\n") << Status::Malformed;
    QTest::newRow("letters in the code") << QByteArray("2x0 Ready\r\n") << Status::Malformed;
    QTest::newRow("code starting with 6") << QByteArray("600 Ready\r\n") << Status::Malformed;
    QTest::newRow("code starting with 0") << QByteArray("099 Ready\r\n") << Status::Malformed;
    QTest::newRow("four digits") << QByteArray("2200 Ready\r\n") << Status::Malformed;
    QTest::newRow("two digits") << QByteArray("22\r\n") << Status::Malformed;
    QTest::newRow("empty line") << QByteArray("\r\n") << Status::Malformed;
    QTest::newRow("longest line") << "200 " + QByteArray(maxLine - 4, 'a') + "\r\n" << Status::Complete;
    QTest::newRow("line too long") << "200 " + QByteArray(maxLine - 3, 'a') + "\r\n" << Status::LineTooLong;
    // The CR of a line at the end of one read, its LF in the next: the CR is no part of the line.
    QTest::newRow("longest line inside a multi-line reply")
        << "220-" + QByteArray(maxLine - 4, 'a') + "\r\n220 Ready\r\n" << Status::Complete;
    // Known at once, without waiting for a line break that may never come.
    QTest::newRow("unfinished line too long") << "200 " + QByteArray(maxLine, 'a') << Status::LineTooLong;
    QByteArray many("220-Start\r\n");
    while (many.size() <= FtpReplyReader::maxReplySize)
        many += "220-" + QByteArray(100, 'b') + "\r\n";
    QTest::newRow("multi-line reply too long") << many << Status::ReplyTooLong;
}

void TestFtpParsers::limits()
{
    QFETCH(QByteArray, input);
    QFETCH(Status, status);

    FtpReplyReader reader;
    reader.append(input);
    FtpReply reply;
    QCOMPARE(reader.next(reply), status);
    if (status != Status::Complete)
        QCOMPARE(reader.buffered(), 0); // nothing kept of a rejected reply

    // However the reads cut the bytes, the outcome is the same: here one byte per read.
    FtpReplyReader pieces;
    Status last = Status::NeedMore;
    for (qsizetype i = 0; i < input.size() && last == Status::NeedMore; ++i) {
        pieces.append(QByteArrayView(input).sliced(i, 1));
        last = pieces.next(reply);
    }
    QCOMPARE(last, status);
}

void TestFtpParsers::errorSticksUntilCleared()
{
    FtpReplyReader reader;
    reader.append("bad\r\n");
    FtpReply reply;
    QCOMPARE(reader.next(reply), Status::Malformed);
    reader.append("200 OK\r\n");
    QCOMPARE(reader.next(reply), Status::Malformed);
    QCOMPARE(reader.buffered(), 0);
    reader.clear();
    reader.append("200 OK\r\n");
    QCOMPARE(reader.next(reply), Status::Complete);
    QCOMPARE(reply.code, 200);
}

void TestFtpParsers::passive_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<quint32>("host");
    QTest::addColumn<int>("port");

    QTest::newRow("usual") << QByteArray("Entering Passive Mode (127,0,0,1,195,80).") << true << 0x7f000001u
                           << 195 * 256 + 80;
    QTest::newRow("another host") << QByteArray("Entering Passive Mode (10,1,2,3,4,1)") << true << 0x0a010203u
                                  << 4 * 256 + 1;
    QTest::newRow("no parentheses") << QByteArray("Entering Passive Mode 192,168,0,9,0,21") << true << 0xc0a80009u
                                    << 21;
    QTest::newRow("spaces after commas") << QByteArray("=127, 0, 0, 1, 1, 2") << true << 0x7f000001u << 258;
    QTest::newRow("digits before the address")
        << QByteArray("227 Passive (127,0,0,1,0,80)") << true << 0x7f000001u << 80;
    QTest::newRow("number over 255") << QByteArray("(127,0,0,1,256,1)") << false << 0u << 0;
    QTest::newRow("four digits") << QByteArray("(127,0,0,1,0001,1)") << false << 0u << 0;
    QTest::newRow("five numbers") << QByteArray("(127,0,0,1,4)") << false << 0u << 0;
    QTest::newRow("port zero") << QByteArray("(127,0,0,1,0,0)") << false << 0u << 0;
    QTest::newRow("negative") << QByteArray("(127,0,0,1,-4,1)") << false << 0u << 0;
    QTest::newRow("empty") << QByteArray() << false << 0u << 0;
    QTest::newRow("seventh number") << QByteArray("(127,0,0,1,4,1,9)") << true << 0x7f000001u << 4 * 256 + 1;
}

void TestFtpParsers::passive()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QFETCH(quint32, host);
    QFETCH(int, port);

    const auto address = kavrin::ftp::parsePassiveAddress(text);
    QCOMPARE(address.has_value(), valid);
    if (valid) {
        QCOMPARE(address->host, host);
        QCOMPARE(int(address->port), port);
    }
}

void TestFtpParsers::lines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<QByteArray>>("lines");

    QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QList<QByteArray> { "a", "b" };
    QTest::newRow("LF") << QByteArray("a\nb\n") << QList<QByteArray> { "a", "b" };
    QTest::newRow("CR") << QByteArray("a\rb\r") << QList<QByteArray> { "a", "b" };
    QTest::newRow("mixed") << QByteArray("a\r\nb\nc\rd") << QList<QByteArray> { "a", "b", "c", "d" };
    QTest::newRow("no final break") << QByteArray("a\r\nb") << QList<QByteArray> { "a", "b" };
    QTest::newRow("empty lines inside") << QByteArray("a\r\n\r\n\nb\r\n") << QList<QByteArray> { "a", "", "", "b" };
    QTest::newRow("LF CR is two breaks") << QByteArray("a\n\rb") << QList<QByteArray> { "a", "", "b" };
    QTest::newRow("only a break") << QByteArray("\r\n") << QList<QByteArray> { "" };
    QTest::newRow("empty") << QByteArray() << QList<QByteArray> {};
    QTest::newRow("spaces kept") << QByteArray(" a \r\n") << QList<QByteArray> { " a " };
}

void TestFtpParsers::lines()
{
    QFETCH(QByteArray, text);
    QFETCH(QList<QByteArray>, lines);
    QCOMPARE(kavrin::ftp::splitLines(text), lines);
}

QTEST_GUILESS_MAIN(TestFtpParsers)
#include "TestFtpParsers.moc"
