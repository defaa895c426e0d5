// Where the window takes a file (the log it is given, a configuration it opens or saves), a
// FIFO or a device is refused at once with the reason, never waited on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>

#include "app/main_form.h"
#include "support/bytes.h"
#include "support/test_host.h"
#include "support/window_model_fixture.h"

namespace polvane {
namespace {

using namespace testing;

class SpecialFiles : public WindowModelTest {
 protected:
  void SetUp() override {
    fifo = dir.File("pipe.tvf");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  }
  // Runs `step`; true when it ends within a few seconds. One that waits on the FIFO is freed
  // by opening the FIFO at both ends, so that a failing test ends too.
  bool EndsAtOnce(const std::function<void()>& step) {
    signal(SIGPIPE, SIG_IGN);
    auto done = std::async(std::launch::async, step);
    if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return true;
    const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    done.wait();
    if (fd >= 0) ::close(fd);
    return false;
  }

  std::string fifo;
};

TEST_F(SpecialFiles, AFifoGivenAsTheLogIsRefusedWithItsReason) {
  std::int16_t code = -1;
  ASSERT_TRUE(EndsAtOnce([&] { code = form.ChooseInputFile(fifo); }));
  EXPECT_EQ(code, kProductNone);
  EXPECT_EQ(host.MessageLines(), std::vector<std::string>{"Error: Input File Does Not Exist! (" +
                                                          fifo + ": not a regular file)"});
  EXPECT_EQ(form.InputFilename.Text(), "");
  EXPECT_TRUE(form.tvIndex.Roots().empty());

  // A folder is not a log either, and says why.
  host.ClearMessages();
  EXPECT_EQ(form.ChooseInputFile(dir.Path().string()), kProductNone);
  EXPECT_EQ(host.MessageLines(),
            std::vector<std::string>{"Error: Input File Does Not Exist! (" + dir.Path().string() +
                                     ": Is a directory)"});
}

TEST_F(SpecialFiles, AFifoIsNeitherLoadedNorSavedAsAConfiguration) {
  // Opened, it reads as a configuration that is not there: every setting takes its default.
  TestHost missingHost;
  TMainForm missing{missingHost};
  missing.LoadConfiguration(dir.File("none.cfg"));
  form.FieldTitles.SetChecked(true);
  ASSERT_TRUE(EndsAtOnce([&] { form.LoadConfiguration(fifo); }));
  EXPECT_EQ(form.FieldTitles.Checked(), missing.FieldTitles.Checked());
  EXPECT_EQ(form.InputFilename.Text(), missing.InputFilename.Text());
  EXPECT_EQ(form.OutputFilename.Text(), missing.OutputFilename.Text());

  // Saved: refused with the reason, and the FIFO stays a FIFO.
  std::string failure;
  ASSERT_TRUE(EndsAtOnce([&] { failure = form.SaveConfigurationFailure(fifo); }));
  EXPECT_EQ(failure, fifo + ": not a regular file");
  host.SaveAnswers.push_back(fifo);
  host.ClearMessages();
  ASSERT_TRUE(EndsAtOnce([&] { form.SaveConfiguration1Click(); }));
  EXPECT_EQ(host.MessageLines(),
            std::vector<std::string>{"Error: Configuration File Cannot Be Written! (" + fifo +
                                     ": not a regular file)"});
  struct stat st {};
  ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

}  // namespace
}  // namespace polvane
