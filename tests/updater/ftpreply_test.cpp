#include "updater/ftpreply.h"
#include "updater/klib/ksockmsgque.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace vela;

TEST(KSockMsgQue, ReadsAcrossBlocksWithAndWithoutConsuming) {
    KSockMsgQue q;
    q.push("abc", 3);
    q.push("", 0);
    q.push("defgh", 5);
    EXPECT_EQ(q.size(), 8u);
    EXPECT_EQ(q.blockCount(), 2u);
    char buf[9] = {};
    ASSERT_TRUE(q.read(buf, 5, false));
    EXPECT_STREQ(buf, "abcde");
    EXPECT_EQ(q.size(), 8u);
    std::memset(buf, 0, sizeof buf);
    ASSERT_TRUE(q.read(buf, 4, true));
    EXPECT_STREQ(buf, "abcd");
    EXPECT_EQ(q.blockCount(), 1u); // the first block was used up and freed
    std::memset(buf, 0, sizeof buf);
    ASSERT_TRUE(q.read(buf, 2, false));
    EXPECT_STREQ(buf, "ef");
    EXPECT_EQ(q.peekAll(), "efgh");
}

TEST(KSockMsgQue, ReadOrSkipBeyondTheQueueFailsWithoutChange) {
    KSockMsgQue q;
    q.push("xyz", 3);
    char buf[8];
    EXPECT_FALSE(q.read(buf, 4, true));
    EXPECT_FALSE(q.skip(4));
    EXPECT_EQ(q.size(), 3u);
    EXPECT_TRUE(q.skip(3));
    EXPECT_TRUE(q.empty());
    EXPECT_EQ(q.blockCount(), 0u);
    EXPECT_TRUE(q.read(nullptr, 0, true));
}

TEST(FtpReply, LinesWaitForTheirLineEndAndComeOneByOne) {
    KSockMsgQue q;
    q.push("220 rea", 7);
    EXPECT_FALSE(takeReplyLine(q));
    EXPECT_EQ(q.size(), 7u);
    q.push("dy\r", 3);
    EXPECT_FALSE(takeReplyLine(q)); // "\r" alone is not a line end
    q.push("\n331 Password\r\n230 ok\r\n", 23);
    EXPECT_EQ(takeReplyLine(q), "220 ready");
    EXPECT_EQ(takeReplyLine(q), "331 Password");
    EXPECT_EQ(takeReplyLine(q), "230 ok");
    EXPECT_FALSE(takeReplyLine(q));
    EXPECT_TRUE(q.empty());
}

TEST(FtpReply, ClassesAndFinalLines) {
    EXPECT_EQ(replyClass("226 Transfer complete"), 2);
    EXPECT_EQ(replyClass("530 Login incorrect"), 5);
    EXPECT_EQ(replyClass(""), 0);
    EXPECT_TRUE(isFinalReplyLine("230 ok"));
    EXPECT_TRUE(isFinalReplyLine("230"));
    EXPECT_FALSE(isFinalReplyLine("230-Welcome"));
    EXPECT_FALSE(isFinalReplyLine(" continued text"));
    EXPECT_FALSE(isFinalReplyLine("23"));
}

TEST(FtpReply, PassiveAddressAndPort) {
    auto p = parsePassiveReply("227 Entering Passive Mode (192,168,0,5,19,137)");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->address, "192.168.0.5");
    EXPECT_EQ(p->port, 5001);
    auto spaced = parsePassiveReply("227 ok ( 127, 0, 0, 1, 117, 151 ).");
    ASSERT_TRUE(spaced);
    EXPECT_EQ(spaced->address, "127.0.0.1");
    EXPECT_EQ(spaced->port, 117 * 256 + 151);
    EXPECT_FALSE(parsePassiveReply("227 Entering Passive Mode 192,168,0,5,19,137"));
    EXPECT_FALSE(parsePassiveReply("227 (192,168,0,5,19,137"));
    EXPECT_FALSE(parsePassiveReply("227 )192,168,0,5,19,137("));
    EXPECT_FALSE(parsePassiveReply("227 (192,168,0,5,19)"));
    EXPECT_FALSE(parsePassiveReply("227 (192,168,0,5,19,x)"));
    EXPECT_FALSE(parsePassiveReply("227 (300,168,0,5,19,137)"));
    EXPECT_FALSE(parsePassiveReply("227 (1,2,3,4,-1,0)"));
    EXPECT_FALSE(parsePassiveReply("227 (1,2,3,4,0,0)"));
    EXPECT_FALSE(parsePassiveReply("227 (1,2,3,4,99999999999,1)"));
}

TEST(FtpReply, TransferSize) {
    EXPECT_EQ(parseTransferSize("150 Opening BINARY mode data connection for a.bin (12345 bytes)"),
              12345);
    EXPECT_EQ(parseTransferSize("150 File status okay. About to open data connection."),
              std::nullopt);
    EXPECT_EQ(parseTransferSize("150 (x bytes)"), 0);
    EXPECT_EQ(parseTransferSize("150 (99999999999 bytes)"), INT32_MAX);
}
