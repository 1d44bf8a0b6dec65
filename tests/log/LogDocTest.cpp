#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

#include "log/MessageBox.h"
#include "log/OxilumeDoc.h"
#include "log/OxilumeView.h"

namespace
{
QByteArray ReadAll(const QString& strPath)
{
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

bool WriteAll(const QString& strPath, const QByteArray& baData)
{
    QFile file(strPath);
    return file.open(QIODevice::WriteOnly) && file.write(baData) == baData.size();
}

// Everything a failed file command must leave as it was.
struct CLogState
{
    QByteArray baText;
    bool bModified;
    QString strTitle;
    QString strPath;
    bool operator==(const CLogState& other) const
    {
        return baText == other.baText && bModified == other.bModified && strTitle == other.strTitle &&
               strPath == other.strPath;
    }
};

QString Message(const QString& strFormat, const QString& strPath)
{
    return strFormat.contains(QLatin1String("%1")) ? strFormat.arg(QDir::toNativeSeparators(strPath)) : strFormat;
}

CLogState StateOf(COxilumeDoc& doc)
{
    return {doc.GetView()->GetTextBytes(), doc.IsModified(), doc.GetTitle(), doc.GetPathName()};
}
}  // namespace

class CLogDocTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<COxilumeView> m_pView;
    std::unique_ptr<COxilumeDoc> m_pDoc;
    QStringList m_messages;

    QString Path(const QString& strName) const { return m_dir.filePath(strName); }

    void Append(const QByteArray& baText)
    {
        m_pView->ScrollToEnd();
        m_pView->InsertText(baText);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        CMessageBox::SetAnswerer([this](const QString& strText, CMessageBox::EButtons) {
            m_messages << strText;
            return int(CMessageBox::IDOK);
        });
    }

    void init()
    {
        m_messages.clear();
        m_pView = std::make_unique<COxilumeView>();
        m_pView->resize(420, 300);
        m_pView->show();
        m_pDoc = std::make_unique<COxilumeDoc>();
        m_pDoc->SetView(m_pView.get());
        QVERIFY(m_pDoc->OnNewDocument());
    }

    void cleanup()
    {
        m_pDoc.reset();
        m_pView.reset();
    }

    void NewDocumentState()
    {
        QCOMPARE(m_pDoc->m_bPortChosen.load(), 0);
        QCOMPARE(m_pDoc->m_strPort, std::string("COMX"));
        QVERIFY(m_pDoc->m_hComm == nullptr);
        QCOMPARE(m_pDoc->m_link.m_bStopped.load(), 1);
        QCOMPARE(m_pDoc->m_link.m_bMemoryIdle.load(), 1);
        QCOMPARE(m_pDoc->m_link.m_bStopMemory.load(), 0);
        QCOMPARE(m_pView->GetDocument(), m_pDoc.get());

        Append("some text\r\n");
        QVERIFY(m_pDoc->IsModified());
        QVERIFY(m_pDoc->OnSaveDocument(Path("named.txt")));
        QCOMPARE(m_pDoc->GetTitle(), QStringLiteral("named.txt"));

        Append("more\r\n");
        QVERIFY(m_pDoc->OnNewDocument());
        QCOMPARE(m_pView->GetTextBytes(), QByteArray());
        QVERIFY(!m_pDoc->IsModified());
        QCOMPARE(m_pDoc->GetTitle(), QStringLiteral("Untitled"));
        QCOMPARE(m_pDoc->GetPathName(), QString());
        QCOMPARE(m_pView->LineCount(), 1);
        QCOMPARE(m_pView->PrintMarginsTwips(), QMargins(720, 720, 720, 720));
    }

    void RoundTrip_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray baAll;
        for (int i = 0; i < 256; ++i)
            baAll.append(char(i));
        QTest::newRow("log lines") << QByteArray("Connection established successfully.\r\n"
                                                 "2023-5-7  9:05:03 Spo2: 98 (%) HR: 72 (bpm) \r\n"
                                                 "End of Data Tranmission\r\n");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("no final line end") << QByteArray("a\r\nb");
        QTest::newRow("LF and lone CR") << QByteArray("unix\nmac\rdos\r\n\n\r\r\n\r");
        QTest::newRow("RTF source") << QByteArray("{\\rtf1\\ansi\\deff0 {\\fonttbl {\\f0 Courier;}}\r\n"
                                                  "\\f0\\fs20 Spo2: 98\\par\r\n}\r\n");
        QTest::newRow("invalid UTF-8") << QByteArray("\xff\xfe\xc3\x28 \xe2\x82 \xf0\x9f\x98 \xed\xa0\x80 \xc0\xaf\r\n");
        QTest::newRow("NUL bytes") << QByteArray("a\0b\0\0c\r\n\0", 10);
        QTest::newRow("valid UTF-8 and BOM") << QByteArray("\xef\xbb\xbf頁 1 / 3 😀 Ünï\r\n");
        QTest::newRow("separators and escape range")
            << QByteArray("\xe2\x80\xa8 \xe2\x80\xa9 \xef\xb7\x90 \xef\xbf\xbc \xee\xbc\x80 \xee\xbf\xbf\r\n");
        QTest::newRow("every byte") << baAll + baAll;
        QTest::newRow("big5 footer") << QByteArray("\xad\xb6 1 / 1\r\n");
    }

    // A file opens as exactly its bytes, saves back byte for byte, and the
    // reopened save shows the same lines.
    void RoundTrip()
    {
        QFETCH(QByteArray, bytes);
        const QString strIn = Path("in.txt");
        const QString strOut = Path("out.log");
        QVERIFY(WriteAll(strIn, bytes));

        QVERIFY(m_pDoc->OnOpenDocument(strIn));
        QCOMPARE(m_pView->GetTextBytes(), bytes);
        QCOMPARE(m_pDoc->GetTitle(), QStringLiteral("in.txt"));
        QVERIFY(!m_pDoc->IsModified());
        const int nLines = m_pView->LineCount();
        QStringList lines;
        for (int i = 0; i < nLines; ++i)
            lines << m_pView->ReadLine(i);

        QVERIFY(m_pDoc->OnSaveDocument(strOut));
        QCOMPARE(ReadAll(strOut), bytes);
        QCOMPARE(m_pDoc->GetTitle(), QStringLiteral("out.log"));

        QVERIFY(m_pDoc->OnNewDocument());
        QVERIFY(m_pDoc->OnOpenDocument(strOut));
        QCOMPARE(m_pView->LineCount(), nLines);
        for (int i = 0; i < nLines; ++i)
            QCOMPARE(m_pView->ReadLine(i), lines.at(i));
        QVERIFY(m_messages.isEmpty());
    }

    void RtfShowsItsSource()
    {
        QVERIFY(WriteAll(Path("a.rtf"), "{\\rtf1\\ansi \\b bold\\b0\\par\r\n}\r\n"));
        QVERIFY(m_pDoc->OnOpenDocument(Path("a.rtf")));
        QCOMPARE(m_pView->ReadLine(0), QStringLiteral("{\\rtf1\\ansi \\b bold\\b0\\par"));
        QCOMPARE(m_pView->ReadLine(1), QStringLiteral("}"));
    }

    // Opening keeps the read-only mode, and a link appending afterwards
    // adds to the loaded text.
    void OpenKeepsModeAndAppendsAfter()
    {
        m_pView->SetReadOnly(true);
        QVERIFY(WriteAll(Path("old.txt"), "old line\r\n"));
        QVERIFY(m_pDoc->OnOpenDocument(Path("old.txt")));
        QVERIFY(m_pView->IsReadOnly());
        Append("new line\r\n");
        QCOMPARE(m_pView->GetTextBytes(), QByteArray("old line\r\nnew line\r\n"));
        QVERIFY(m_pDoc->IsModified());
    }

    void OpenFailureLeavesLog_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << "missing.txt" << "%1 was not found.";
        QTest::newRow("folder") << "a-folder" << "Failed to open document.";
        QTest::newRow("no permission") << "locked.txt" << "Access to %1 was denied.";
    }

    void OpenFailureLeavesLog()
    {
        QFETCH(QString, name);
        QFETCH(QString, message);
        QDir(m_dir.path()).mkdir(QStringLiteral("a-folder"));
        if (name == QLatin1String("locked.txt"))
        {
            if (geteuid() == 0)
                QSKIP("permission bits do not stop root");
            QVERIFY(WriteAll(Path(name), "secret\r\n"));
            QFile::setPermissions(Path(name), QFileDevice::WriteOwner);
        }
        Append("the log\r\n");
        const CLogState before = StateOf(*m_pDoc);

        QVERIFY(!m_pDoc->OnOpenDocument(Path(name)));
        QCOMPARE(m_messages, QStringList{Message(message, Path(name))});
        QVERIFY(StateOf(*m_pDoc) == before);
    }

    void SaveFailureKeepsOldFile_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("message");
        QTest::newRow("folder vanished") << "vanished" << "Failed to save document.";
        QTest::newRow("path under a file") << "under-file" << "Failed to save document.";
        QTest::newRow("disk full") << "full" << "Failed to save document.";
        QTest::newRow("no permission") << "read-only folder" << "Access to %1 was denied.";
    }

    // The earlier file stays whole and the log, its title and its changed
    // state stay as they were.
    void SaveFailureKeepsOldFile()
    {
        QFETCH(QString, situation);
        QFETCH(QString, message);
        const QByteArray baOld = "the earlier file\r\n";
        const QString strSub = Path(situation);
        QVERIFY(QDir().mkpath(strSub));
        QString strTarget = strSub + QStringLiteral("/log.txt");
        QVERIFY(WriteAll(strTarget, baOld));

        QVERIFY(m_pDoc->OnSaveDocument(Path("first.txt")));
        for (int i = 0; i < 200; ++i)
            Append("2023-5-7  9:05:03 Spo2: 98 (%) HR: 72 (bpm) \r\n");
        const CLogState before = StateOf(*m_pDoc);
        QVERIFY(before.bModified);

        bool bSaved = true;
        if (situation == QLatin1String("vanished"))
        {
            QVERIFY(QDir(strSub).removeRecursively());
            bSaved = m_pDoc->OnSaveDocument(strTarget);
        }
        else if (situation == QLatin1String("under-file"))
        {
            strTarget += QStringLiteral("/inside.txt");
            bSaved = m_pDoc->OnSaveDocument(strTarget);
            QCOMPARE(ReadAll(strSub + QStringLiteral("/log.txt")), baOld);
        }
        else if (situation == QLatin1String("full"))
        {
            // A file size limit stops every writer, root too, as a full disk
            // does.
            struct rlimit old {};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
            struct rlimit small = old;
            small.rlim_cur = 4096;
            auto pfnOld = std::signal(SIGXFSZ, SIG_IGN);
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
            bSaved = m_pDoc->OnSaveDocument(strTarget);
            setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, pfnOld);
            QCOMPARE(ReadAll(strTarget), baOld);
            QCOMPARE(QDir(strSub).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("log.txt")});
        }
        else
        {
            if (geteuid() == 0)
                QSKIP("permission bits do not stop root");
            QFile::setPermissions(strTarget, QFileDevice::ReadOwner);
            QFile::setPermissions(strSub, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            bSaved = m_pDoc->OnSaveDocument(strTarget);
            QFile::setPermissions(strSub, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            QCOMPARE(ReadAll(strTarget), baOld);
        }
        QVERIFY(!bSaved);
        QCOMPARE(m_messages, QStringList{Message(message, strTarget)});
        QVERIFY(StateOf(*m_pDoc) == before);
        QCOMPARE(m_pDoc->GetTitle(), QStringLiteral("first.txt"));
    }

    void ModifiedFlagFollowsTheText()
    {
        QVERIFY(!m_pDoc->IsModified());
        QSignalSpy spy(m_pDoc.get(), &CTextDoc::ModifiedChanged);
        Append("x\r\n");
        QVERIFY(m_pDoc->IsModified());
        QCOMPARE(spy.count(), 1);
        QVERIFY(m_pDoc->OnSaveDocument(Path("saved.txt")));
        QVERIFY(!m_pDoc->IsModified());
        m_pView->ClearLog();
        QVERIFY(m_pDoc->IsModified());
    }
};

QTEST_MAIN(CLogDocTest)
#include "LogDocTest.moc"
