// Prefixed names are checked against the declarations open around them,
// however many there are and however long a prefix is.
#include "tests/track/TrackTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool ReadPrefixed(const std::string& body)
{
    CTrackPointList points;
    size_t nSkipped = 0;
    return ReadXmlDocument("<?xml version=\"1.0\"?><gpx version=\"1.1\" " + body + "</gpx>", points, nSkipped);
}

// Declarations of p0 to p(n-1) on the root.
std::string Declarations(int nCount)
{
    std::string text;
    for (int i = 0; i < nCount; ++i)
        text += " xmlns:p" + std::to_string(i) + "='u" + std::to_string(i) + "'";
    return text + '>';
}

TEST(XmlPrefixes, DeclaredAroundOrRefused)
{
    const std::string longPrefix(40, 'q');
    const struct
    {
        std::string body;
        bool bRead;
    } cases[] = {
        {"xmlns:" + longPrefix + "='u'><wpt " + longPrefix + ":a='1' lat='1' lon='2'/>", true},
        {"xmlns:" + longPrefix + "='u'><wpt " + longPrefix + "r:a='1' lat='1' lon='2'/>", false},
        {"xmlns:" + longPrefix + "='u'><wpt " + longPrefix.substr(1) + ":a='1' lat='1' lon='2'/>", false},
        {"><a xmlns:p='u'><b xmlns:p='v'/><p:c/></a><wpt lat='1' lon='2'/>", true},
        {"><a xmlns:p='u'><b xmlns:p='v'/></a><p:c/><wpt lat='1' lon='2'/>", false},
        {Declarations(5000) + "<wpt p4999:a='1' p0:b='2' lat='1' lon='2'/>", true},
        {Declarations(5000) + "<wpt p5000:a='1' lat='1' lon='2'/>", false},
        {Declarations(5000) + "<p123:wpt lat='1' lon='2'/>", true},
        {"><wpt xml:lang='en' lat='1' lon='2'/>", true},
        {"xmlns:='u'><wpt lat='1' lon='2'/>", true},
        {"xmlns:='u'><wpt :a='1' lat='1' lon='2'/>", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadPrefixed(c.body), c.bRead) << c.body.substr(0, 120);
}

}
