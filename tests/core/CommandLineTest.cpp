#include "core/CommandLine.h"
#include "core/DeleteLimit.h"
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
    for (const char* wrong : {"", "%", "-1", "1.5", "5 %", "101%", "x", "3%%"}) {
        EXPECT_THROW(DeleteLimit::parse(QString::fromLatin1(wrong)), TarveloError) << wrong;
    }
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
