#include "household/SpeakerReturns.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QList<SpeakerGroup> shown{
    {.id = u"G"_s,
     .coordinatorID = u"A"_s,
     .rooms = {Room{.id = u"A"_s, .name = u"a"_s, .host = u"ha"_s, .volume = 0, .muted = false},
               Room{.id = u"B"_s, .name = u"b"_s, .host = u"hb"_s, .volume = 0, .muted = false}}}};

TEST(SpeakerReturns, ARestartedSpeakerIsBackButAFirstSightingIsNot) {
    SpeakerReturns returns;
    EXPECT_TRUE(returns.afterRefresh({{u"A"_s, 5}, {u"B"_s, 1}}, {}, {}, shown).isEmpty());
    EXPECT_TRUE(returns.afterRefresh({{u"A"_s, 5}}, {}, {}, shown).isEmpty()); // B not stated: no news
    EXPECT_EQ(returns.afterRefresh({{u"A"_s, 6}, {u"B"_s, 1}}, {}, {}, shown), QSet<QString>{u"A"_s});
    EXPECT_TRUE(returns.afterRefresh({{u"A"_s, 6}}, {}, {}, shown).isEmpty()); // counted once
}

TEST(SpeakerReturns, AHostThatWentSilentIsBackWhenItAnswersAgainOnce) {
    SpeakerReturns returns;
    EXPECT_TRUE(returns.afterRefresh({}, {u"hb"_s}, {u"ha"_s}, shown).isEmpty());
    EXPECT_TRUE(returns.afterRefresh({}, {}, {}, shown).isEmpty()); // not asked: still silent
    EXPECT_EQ(returns.afterRefresh({}, {}, {u"ha"_s, u"hb"_s}, shown), QSet<QString>{u"B"_s});
    EXPECT_TRUE(returns.afterRefresh({}, {}, {u"hb"_s}, shown).isEmpty());
}

} // namespace
