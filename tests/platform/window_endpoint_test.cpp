#include "window_endpoint.h"

#include "child_process.h"
#include "home.h"
#include "machine_folder.h"
#include "window_frames.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace platform;

namespace {

const char *kMainForm = "TQVPapyrineMainForm";

// Collects what an endpoint receives.
struct Inbox {
    std::vector<WindowMessage> messages;
    std::vector<CopyDataBlock> blocks;
    std::unique_ptr<WindowEndpoint> open(const char *className, std::string *error = nullptr) {
        return WindowEndpoint::create(
            className,
            [this](const WindowMessage &m) {
                messages.push_back(m);
                return intptr_t(m.message) * 2;
            },
            [this](const CopyDataBlock &b) {
                blocks.push_back(b);
                return intptr_t(b.bytes.size());
            },
            error);
    }
};

// Waits until `done` holds, handling messages meanwhile.
template <typename Pred>
bool processUntil(WindowEndpoint &endpoint, Pred done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        endpoint.waitAndProcess(50);
    }
    return true;
}

// Writes raw bytes to the class's socket, as a careless or hostile sender would.
void sendRaw(const std::string &className, const std::string &bytes, bool keepOpen = false) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string path = (runFolder() / (className + ".window")).string();
    path.copy(addr.sun_path, sizeof addr.sun_path - 1);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
    if (!keepOpen) ::close(fd);
}

}  // namespace

class WindowEndpointTest : public MachineFolderTest {};

TEST_F(WindowEndpointTest, PostedAndSentMessagesInOneProcess) {
    Inbox inbox;
    auto endpoint = inbox.open(kMainForm);
    ASSERT_TRUE(endpoint);
    EXPECT_TRUE(findWindow(kMainForm));
    EXPECT_FALSE(findWindow("TFormCards"));
    EXPECT_FALSE(postMessage("TFormCards", kWmUser + 14, 0, 1));

    ASSERT_TRUE(postMessage(kMainForm, kWmUser + 14, UINTPTR_MAX, -2));
    ASSERT_TRUE(postMessage(kMainForm, kWmUser + 20, 0, 0));
    ASSERT_TRUE(processUntil(*endpoint, [&] { return inbox.messages.size() == 2; }));
    EXPECT_EQ(inbox.messages[0].message, kWmUser + 14);
    EXPECT_EQ(inbox.messages[0].wParam, UINTPTR_MAX);
    EXPECT_EQ(inbox.messages[0].lParam, -2);
    EXPECT_FALSE(inbox.messages[0].sent);
    EXPECT_EQ(inbox.messages[1].message, kWmUser + 20);  // in the order posted

    std::optional<intptr_t> answer;
    std::thread sender([&] { answer = sendMessage(kMainForm, kWmUser + 19, 0, 0, 10000); });
    ASSERT_TRUE(processUntil(*endpoint, [&] { return inbox.messages.size() == 3; }));
    sender.join();
    EXPECT_TRUE(inbox.messages[2].sent);
    EXPECT_EQ(answer, intptr_t(kWmUser + 19) * 2);
    // Nobody handles: the sender gives up at its time-out.
    EXPECT_EQ(sendMessage(kMainForm, kWmUser + 21, 0, 0, 100), std::nullopt);
}

TEST_F(WindowEndpointTest, OneOwnerPerClassAndNoTraceAfterwards) {
    Inbox first, second;
    auto endpoint = first.open(kMainForm);
    ASSERT_TRUE(endpoint);
    std::string error;
    EXPECT_FALSE(second.open(kMainForm, &error));
    EXPECT_NE(error.find("already exists"), std::string::npos);
    endpoint.reset();
    EXPECT_FALSE(findWindow(kMainForm));
    EXPECT_TRUE(second.open(kMainForm));
}

TEST_F(WindowEndpointTest, MessagesFromAnotherProcess) {
    Inbox inbox;
    auto endpoint = inbox.open(kMainForm);
    ASSERT_TRUE(endpoint);
    EXPECT_EQ(runHelper({"post", kMainForm, "1038", "0", "12345"}), 0);

    ChildProcess client({"copydata", kMainForm, "0", "C:\\Docs\\a.doc\r\n"});
    ASSERT_TRUE(processUntil(*endpoint, [&] { return inbox.messages.size() == 1 && inbox.blocks.size() == 1; }));
    EXPECT_EQ(inbox.messages[0].message, 1038u);
    EXPECT_EQ(inbox.messages[0].lParam, 12345);
    EXPECT_EQ(inbox.blocks[0].dwData, 0u);
    EXPECT_EQ(inbox.blocks[0].bytes, "C:\\Docs\\a.doc\r\n");
    EXPECT_EQ(client.readLine(), "answer 15");
    EXPECT_EQ(client.wait(), 0);
}

TEST_F(WindowEndpointTest, WindowOfAnotherProcessAndItsDeath) {
    ChildProcess owner({"window", kMainForm});
    ASSERT_EQ(owner.readLine(), "ready");
    EXPECT_TRUE(findWindow(kMainForm));
    EXPECT_EQ(sendCopyData(kMainForm, 7, std::string("\0binary\xFF", 8), 10000), 8);
    EXPECT_EQ(owner.readLine(), std::string("copydata 7 \0binary\xFF", 19));
    EXPECT_EQ(sendMessage(kMainForm, kWmUser + 19, 1, 2, 10000), kWmUser + 20);
    EXPECT_EQ(owner.readLine(), "message 1043 1 2");
    Inbox inbox;
    EXPECT_FALSE(inbox.open(kMainForm));

    owner.kill();
    EXPECT_TRUE(std::filesystem::exists(runFolder() / (std::string(kMainForm) + ".window")));  // left behind
    EXPECT_FALSE(findWindow(kMainForm));
    EXPECT_FALSE(postMessage(kMainForm, kWmUser + 14, 0, 1));
    EXPECT_EQ(sendCopyData(kMainForm, 0, "x", 200), std::nullopt);
    EXPECT_TRUE(inbox.open(kMainForm));
}

TEST_F(WindowEndpointTest, MalformedFramesAreDroppedAndTheWindowGoesOn) {
    Inbox inbox;
    auto endpoint = inbox.open(kMainForm);
    ASSERT_TRUE(endpoint);
    std::string post = frames::encodeMessage(frames::Kind::Post, 1040, 0, 0);
    std::string badMagic = post;
    badMagic[0] = 'X';
    std::string huge = frames::encodeCopyData(0, "x");
    huge[8] = huge[9] = huge[10] = huge[11] = '\xFF';  // claims 4 GiB
    sendRaw(kMainForm, badMagic);
    sendRaw(kMainForm, huge, true);
    sendRaw(kMainForm, post.substr(0, 20));  // cut short
    sendRaw(kMainForm, frames::encodeReply(5));
    sendRaw(kMainForm, "");
    ASSERT_TRUE(postMessage(kMainForm, kWmUser + 17, 0, 0));
    ASSERT_TRUE(processUntil(*endpoint, [&] { return !inbox.messages.empty(); }));
    endpoint->waitAndProcess(100);
    ASSERT_EQ(inbox.messages.size(), 1u);
    EXPECT_EQ(inbox.messages[0].message, kWmUser + 17);
    EXPECT_TRUE(inbox.blocks.empty());
}

TEST(WindowFramesTest, DecodingChecksEveryHeaderField) {
    frames::Frame frame;
    std::size_t consumed = 0;
    std::string copy = frames::encodeCopyData(0x11223344, "abc");
    EXPECT_EQ(frames::decode(copy, frame, consumed), frames::DecodeStatus::Complete);
    EXPECT_EQ(consumed, copy.size());
    EXPECT_EQ(frame.copyData.dwData, 0x11223344u);
    EXPECT_EQ(frame.copyData.bytes, "abc");
    EXPECT_EQ(frames::decode(copy.substr(0, copy.size() - 1), frame, consumed), frames::DecodeStatus::NeedMore);
    EXPECT_EQ(frames::decode(copy.substr(0, 5), frame, consumed), frames::DecodeStatus::NeedMore);

    auto withHeader = [](uint32_t magic, uint32_t kind, uint32_t size) {
        std::string h(frames::kHeaderSize, '\0');
        for (int i = 0; i < 4; ++i) {
            h[i] = char(magic >> (8 * i));
            h[4 + i] = char(kind >> (8 * i));
            h[8 + i] = char(size >> (8 * i));
        }
        return h;
    };
    struct Case {
        uint32_t magic, kind, size;
    };
    const Case bad[] = {
        {0x4D575650, 1, 20}, {frames::kMagic, 0, 20}, {frames::kMagic, 5, 20},
        {frames::kMagic, 1, 19}, {frames::kMagic, 2, 21}, {frames::kMagic, 3, 3},
        {frames::kMagic, 3, uint32_t(kMaxCopyDataBytes + 5)}, {frames::kMagic, 4, 4},
    };
    for (const Case &c : bad)
        EXPECT_EQ(frames::decode(withHeader(c.magic, c.kind, c.size), frame, consumed), frames::DecodeStatus::Bad)
            << c.kind << " " << c.size;
}

TEST_F(WindowEndpointTest, WorksWhenTheMachineFolderPathIsLong) {
    std::filesystem::path deep = home() / std::string(120, 'd');
    std::filesystem::create_directories(deep);
    ::setenv("PAPYRINE_HOME", deep.c_str(), 1);
    Inbox inbox;
    auto endpoint = inbox.open(kMainForm);
    ASSERT_TRUE(endpoint);
    EXPECT_TRUE(findWindow(kMainForm));
    EXPECT_TRUE(postMessage(kMainForm, kWmUser + 14, 0, 3));
    ASSERT_TRUE(processUntil(*endpoint, [&] { return inbox.messages.size() == 1; }));
    EXPECT_EQ(inbox.messages[0].lParam, 3);
}
