// The sound libraries' messages go through our handlers: nothing on standard error unless
// switched on, then the library's text.
#include "playback/library_messages.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>
#include <jack/jack.h>

#include <string>

namespace zv {
namespace {

// Asks ALSA for a device that does not exist and JACK for a server that does not run; both
// libraries complain through their error functions.
std::string library_complaints() {
    ::testing::internal::CaptureStderr();
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, "zv_no_such_pcm", SND_PCM_STREAM_PLAYBACK, 0) == 0) {
        snd_pcm_close(pcm);
    }
    jack_status_t status{};
    jack_client_t* client =
        jack_client_open("zv_test", static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                         &status, "zv_no_such_server");
    if (client != nullptr) {
        jack_client_close(client);
    }
    return ::testing::internal::GetCapturedStderr();
}

TEST(SoundLibraryMessages, SilentByDefaultShownWhenVerbose) {
    install_sound_library_handlers();
    install_sound_library_handlers();  // a second call changes nothing
    EXPECT_FALSE(sound_library_messages());
    EXPECT_EQ(library_complaints(), "");

    set_sound_library_messages(true);
    const std::string shown = library_complaints();
    set_sound_library_messages(false);
    EXPECT_NE(shown.find("ALSA lib "), std::string::npos) << shown;
    EXPECT_NE(shown.find("zv_no_such_pcm"), std::string::npos) << shown;
    EXPECT_NE(shown.find("server"), std::string::npos) << shown;  // JACK's own words
    EXPECT_EQ(library_complaints(), "");
}

}  // namespace
}  // namespace zv
