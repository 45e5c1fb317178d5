#include "protocol/SpeakerModel.h"

#include <gtest/gtest.h>

TEST(SpeakerModelSymbol, MapsModelNamesByWholeWordsInGroupOrder) {
    struct Case {
        std::optional<QString> name;
        const char* symbol;
    };
    const Case cases[] = {
        {"Sonos Arc Ultra", "tv.and.hifispeaker.fill"},
        {"Sonos Sub Mini", "speaker.wave.3"},
        {"Sonos Era 100", "hifispeaker"},
        {"Sonos Era 300", "hifispeaker.2"},
        {"Sonos Play:5", "hifispeaker.2"},
        {"Sonos PLAY:3", "hifispeaker"},
        {"Sonos Five", "hifispeaker.2"},
        {"Sonos Port", "hifireceiver"},
        {"Sonos Roam 2", "speaker"},
        {"Sonos Move", "speaker"},
        {"Sonos Playbar", "tv.and.hifispeaker.fill"},
        {"Sonos Playbase", "tv.and.hifispeaker.fill"},
        {"Sonos Ray", "tv.and.hifispeaker.fill"},
        {"Sonos Amp", "hifireceiver"},
        {std::nullopt, "hifispeaker"},
        {"", "hifispeaker"},
        // Whole words only.
        {"Sonos Subwoofer", "hifispeaker"},
        {"Portable Speaker", "hifispeaker"},
        {"Array", "hifispeaker"},
        {"Era 3000", "hifispeaker"},
        {"Play:50", "hifispeaker"},
        {"Roaming", "hifispeaker"},
        // Punctuation is a word boundary, the underscore is not.
        {"Connect:Amp", "hifireceiver"},
        {"X-Sub", "speaker.wave.3"},
        {"Beam.Gen2", "tv.and.hifispeaker.fill"},
        {"my_sub", "hifispeaker"},
        // Group order decides.
        {"Sub Beam", "tv.and.hifispeaker.fill"},
        {"Arc Amp", "hifireceiver"},
        {"Move Five", "speaker"},
        // Case does not matter.
        {"BEAM", "tv.and.hifispeaker.fill"},
        {"SONOS ERA 300", "hifispeaker.2"},
        // Metacharacters in the words are literal: "play:5" never matches "play5".
        {"Play5", "hifispeaker"},
        {"Era  300", "hifispeaker"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SpeakerModel::symbol(c.name), QString::fromLatin1(c.symbol))
            << c.name.value_or("<none>").toStdString();
}
