// Splitting the program's name from the rest of its command line.
#include "platform/command_tail.h"

#include <gtest/gtest.h>

#include "common/text.h"

namespace cvl {
namespace {

TEST(CommandTailTest, SkipsTheProgramNameQuotedOrNotAndTheBlanksAfterIt) {
    struct Case {
        std::u16string_view full, tail;
    };
    for (const Case &c :
         {Case{u"cvlsetup.exe /i /vistab701", u"/i /vistab701"},
          Case{u"C:\\t\\1.exe /selfdel 1000 C:\\setup\\x.exe", u"/selfdel 1000 C:\\setup\\x.exe"},
          Case{u"\"C:\\Program Files\\x\\cvlsetup.exe\"  \t/hwscan", u"/hwscan"},
          Case{u"\"C:\\a b\\x.exe\"\t /u", u"/u"}, Case{u"\"C:\\a b\\c.exe\"/rp", u"/rp"},
          Case{u"cvlsetup.exe   ", u""}, Case{u"cvlsetup.exe", u""}, Case{u"\"unterminated", u""},
          Case{u"", u""}}) {
        EXPECT_EQ(CommandTailOf(c.full), c.tail) << ToUtf8(c.full);
    }
}

}  // namespace
}  // namespace cvl
