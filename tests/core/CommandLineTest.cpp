#include "core/CommandLine.h"

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

TEST(CommandLineParse, FilePathKeepsItsCase) {
    const CommandLineSwitch file = CommandLine::parse("/FILE:/srv/Export/Adressen.TXT");
    EXPECT_EQ(file.kind, CommandLineSwitch::File);
    EXPECT_EQ(file.value, "/srv/Export/Adressen.TXT");
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
