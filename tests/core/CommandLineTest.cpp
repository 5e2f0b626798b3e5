#include "core/CommandLine.h"
#include "core/DeleteLimit.h"
#include "platform/ProgramArguments.h"
#include "platform/TarveloError.h"

#include <gtest/gtest.h>

namespace {

CommandLineSwitch::Kind kindOf(const QString& parameter) {
    return CommandLine::parse(parameter).kind;
}

} // namespace

TEST(CommandLineParse, SwitchesAreRecognisedInAnyCaseButOnlyWhole) {
    EXPECT_EQ(kindOf("/dbsync"), CommandLineSwitch::DbSync);
    EXPECT_EQ(kindOf("/DBSYNC"), CommandLineSwitch::DbSync);
    EXPECT_EQ(kindOf("/DbSync"), CommandLineSwitch::DbSync);
    EXPECT_EQ(kindOf("/REFRESH"), CommandLineSwitch::Refresh);
    EXPECT_EQ(kindOf("/dbsyncx"), CommandLineSwitch::Ignored);
    EXPECT_EQ(kindOf("dbsync"), CommandLineSwitch::Ignored);
    EXPECT_EQ(kindOf("-dbsync"), CommandLineSwitch::Ignored);
    EXPECT_EQ(kindOf("/refresh "), CommandLineSwitch::Ignored);
    EXPECT_EQ(kindOf(""), CommandLineSwitch::Ignored);
    // The scheduler's guards, opt-in.
    EXPECT_EQ(kindOf("/DryRun"), CommandLineSwitch::DryRun);
    EXPECT_EQ(kindOf("/dryrunx"), CommandLineSwitch::Ignored);
    EXPECT_EQ(CommandLine::parse("/MAXDELETE:5%").kind, CommandLineSwitch::MaxDelete);
    EXPECT_EQ(CommandLine::parse("/MAXDELETE:5%").value, "5%");
    EXPECT_EQ(kindOf("/maxdelete"), CommandLineSwitch::Ignored);
}

// The arguments as a scheduler hands them on become the parameters a
// Windows program would see.
TEST(CommandLineParameters, ControlCharactersSeparateAndQuotesGo) {
    const struct {
        QStringList arguments;
        QStringList parameters;
    } cases[] = {
        {{"/file:a.txt", "/refresh\r"}, {"/file:a.txt", "/refresh"}},
        {{"/domain:example.com\r\n"}, {"/domain:example.com"}},
        {{"/file:a.txt\t/domain:x.de"}, {"/file:a.txt", "/domain:x.de"}},
        {{"/domain:\"example.com\"", "\"/file:C:\\Mit Blank\\a.txt\""},
         {"/domain:example.com", "/file:C:\\Mit Blank\\a.txt"}},
        {{"/file:/srv/mit blank/a.txt", "/refresh "}, {"/file:/srv/mit blank/a.txt", "/refresh "}},
        {{"", "\r", "/dbsync"}, {"", "/dbsync"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CommandLine::parameters(c.arguments), c.parameters)
            << c.arguments.join('|').toStdString();
    }
    // A whole Windows command line: a backslash before a quote is a folder's
    // end, not an escape that would run the rest of the line into the path.
    const struct {
        QString commandLine;
        QStringList arguments;
    } lines[] = {
        {R"("C:\Tarvelo Test\tarvelo.exe" /file:"C:\Export\"liste.txt /dryrun)",
         {"C:\\Tarvelo Test\\tarvelo.exe", "/file:C:\\Export\\liste.txt", "/dryrun"}},
        {R"(tarvelo.exe "/domain:example.com\" /dryrun)",
         {"tarvelo.exe", "/domain:example.com\\", "/dryrun"}},
        {R"(tarvelo.exe "/file:\\srv\a b\l.txt" /refresh)",
         {"tarvelo.exe", "/file:\\\\srv\\a b\\l.txt", "/refresh"}},
        {"  tarvelo.exe\t/dbsync \"\" x\"y z\"w \"open end",
         {"tarvelo.exe", "/dbsync", "", "xy zw", "open end"}},
        {"tarvelo.exe", {"tarvelo.exe"}},
    };
    for (const auto& l : lines) {
        EXPECT_EQ(ProgramArguments::split(l.commandLine), l.arguments)
            << l.commandLine.toStdString();
    }
}

// The limit's edges: "more than the limit" is refused, the limit itself is
// not; a share is compared without rounding.
TEST(DeleteLimitTest, CountsAndSharesAtTheirEdges) {
    const DeleteLimit count = DeleteLimit::parse("3");
    EXPECT_FALSE(count.exceededBy(3, 4));
    EXPECT_TRUE(count.exceededBy(4, 4));
    const DeleteLimit none = DeleteLimit::parse("0");
    EXPECT_FALSE(none.exceededBy(0, 10));
    EXPECT_TRUE(none.exceededBy(1, 1000000));
    const DeleteLimit share = DeleteLimit::parse("10%");
    EXPECT_FALSE(share.exceededBy(1, 10));
    EXPECT_TRUE(share.exceededBy(2, 19)); // 10.5 %
    EXPECT_FALSE(share.exceededBy(0, 0)); // an empty domain loses nothing
    EXPECT_TRUE(share.exceededBy(1, 0));  // rows outside the filter cannot be its share
    EXPECT_FALSE(DeleteLimit::parse("100%").exceededBy(7, 7));
    EXPECT_FALSE(DeleteLimit::parse("5000000000").exceededBy(4999999999, 1));
    // Every digit counts.
    EXPECT_FALSE(DeleteLimit::parse("9876543210").exceededBy(9876543210, 1));
    EXPECT_TRUE(DeleteLimit::parse("9876543210").exceededBy(9876543211, 1));
    EXPECT_FALSE(DeleteLimit::parse("99%").exceededBy(99, 100));
    EXPECT_TRUE(DeleteLimit::parse("99%").exceededBy(100, 100));
    for (const char* wrong : {"", "%", "-1", "+1", " 1", "1.5", "5 %", "101%", "x", "3%%", "٥",
                              "99999999999999999999", "99999999999999999999%"}) {
        EXPECT_THROW(DeleteLimit::parse(QString::fromUtf8(wrong)), TarveloError) << wrong;
    }
}

// The refusal names the limit as it was written, and counts in plain German.
TEST(DeleteLimitTest, RefusalSaysWhatWouldGoAndTheLimitAsWritten) {
    EXPECT_EQ(DeleteLimit::parse("0").refusal(1, 4, "@b.org"),
              "Der Lauf würde 1 Adresse löschen, erlaubt sind höchstens 0 (/maxdelete:0). Es "
              "wurde nichts geändert");
    EXPECT_EQ(DeleteLimit::parse("007").refusal(8, 9, "*"),
              "Der Lauf würde 8 Adressen löschen, erlaubt sind höchstens 7 (/maxdelete:007). Es "
              "wurde nichts geändert");
    EXPECT_EQ(DeleteLimit::parse("05%").refusal(3, 4, "@b.org"),
              "Der Lauf würde 3 von 4 Adressen der Domain löschen, erlaubt sind höchstens 5 % "
              "(/maxdelete:05%). Es wurde nichts geändert");
    // Without a domain filter the run covers every route.
    EXPECT_EQ(DeleteLimit::parse("5%").refusal(3, 4, "*"),
              "Der Lauf würde 3 von 4 Adressen löschen, erlaubt sind höchstens 5 % "
              "(/maxdelete:5%). Es wurde nichts geändert");
}

TEST(CommandLineParse, DomainIsLowerCasedWithOneLeadingAt) {
    const CommandLineSwitch plain = CommandLine::parse("/DOMAIN:Example.COM");
    EXPECT_EQ(plain.kind, CommandLineSwitch::Domain);
    EXPECT_EQ(plain.value, "@example.com");
    EXPECT_EQ(CommandLine::parse("/domain:@Example.com").value, "@example.com");
    // Only A to Z are lower-cased.
    EXPECT_EQ(CommandLine::parse("/domain:MÜNCHEN.de").value, "@mÜnchen.de");
}

TEST(CommandLineParse, EmptyDomainIsIgnored) {
    EXPECT_EQ(kindOf("/domain:"), CommandLineSwitch::Ignored);
    EXPECT_EQ(kindOf("/DOMAIN:"), CommandLineSwitch::Ignored);
    // "@" given explicitly is a value of its own and kept.
    EXPECT_EQ(CommandLine::parse("/domain:@").value, "@");
}

TEST(CommandLineParse, FilePathIsLowerCasedOnlyWhereNamesIgnoreCase) {
    const CommandLineSwitch file = CommandLine::parse("/FILE:C:\\Export\\Adressen-ÄÖ.TXT");
    EXPECT_EQ(file.kind, CommandLineSwitch::File);
#ifdef Q_OS_WIN
    EXPECT_EQ(file.value, "c:\\export\\adressen-ÄÖ.txt");
#else
    EXPECT_EQ(file.value, "C:\\Export\\Adressen-ÄÖ.TXT");
#endif
    EXPECT_EQ(CommandLine::parse("/file:").kind, CommandLineSwitch::File);
    EXPECT_EQ(CommandLine::parse("/file:").value, "");
}

TEST(CommandLineParse, ValuesAreCutAt255Characters) {
    const QString longPath = "/" + QString(300, 'a');
    EXPECT_EQ(CommandLine::parse("/file:" + longPath).value, longPath.left(255));
    const QString longDomain(300, 'd');
    // Cut first, then "@" put in front.
    EXPECT_EQ(CommandLine::parse("/domain:" + longDomain).value, "@" + longDomain.left(255));
    EXPECT_EQ(CommandLine::parse("/domain:@" + longDomain).value, "@" + longDomain.left(254));
}

// A wrong "/batch:" value is named as it was written, whatever it holds.
TEST(CommandLineParse, WrongBatchSizeIsNamedAsWritten) {
    for (const char* wrong : {"0", "100001", "", "zehn", "%1", "%2x", "1%1", "0000000", "00100001",
                              "0001x", "+5", " 5", "4294967297", "18446744073709551617", "٥"}) {
        const QString value = QString::fromUtf8(wrong);
        try {
            CommandLine::batchSize(value);
            ADD_FAILURE() << wrong << " taken";
        } catch (const TarveloError& error) {
            EXPECT_EQ(error.message(), "Ungültiger Wert \"" + value +
                                           "\" für /batch: erwartet wird eine Anzahl von "
                                           "Änderungen je Transaktion von 1 bis 100000 (z. B. "
                                           "/batch:1000)")
                << wrong;
        }
    }
    EXPECT_EQ(CommandLine::batchSize("100000"), 100000);
    // Every digit counts.
    EXPECT_EQ(CommandLine::batchSize("98765"), 98765);
    EXPECT_EQ(CommandLine::batchSize("43210"), 43210);
    // Leading zeros, however many, leave the number as it is.
    EXPECT_EQ(CommandLine::batchSize("0001000"), 1000);
    EXPECT_EQ(CommandLine::batchSize("0000100000"), 100000);
    EXPECT_EQ(CommandLine::batchSize("00000001"), 1);
}
