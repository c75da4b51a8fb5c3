// The built-in code page tables, byte by byte, against a fixed copy of what Windows decodes
// (and, where the tests run on Windows, against Windows itself).
#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "support/system_codepage.h"

namespace qbank {
namespace {

struct codepage_case {
  int codepage;
  std::u8string_view upper_half;  // the characters of bytes 0x80..0xFF, in order
};

// Bytes a code page leaves undefined decode to the control characters U+0080..U+009F or to
// Windows' private-use characters, as MultiByteToWideChar decodes them.
const codepage_case cases[] = {
    {1250,
     u8"€\u0081‚\u0083„…†‡\u0088‰Š‹ŚŤŽŹ\u0090‘’“”•–—\u0098™š›śťžź\u00A0ˇ˘Ł¤Ą¦§¨©Ş«¬\u00AD®Ż°±˛ł´µ¶·"
     u8"¸ąş»Ľ˝ľżŔÁÂĂÄĹĆÇČÉĘËĚÍÎĎĐŃŇÓÔŐÖ×ŘŮÚŰÜÝŢßŕáâăäĺćçčéęëěíîďđńňóôőö÷řůúűüýţ˙"},
    {1251,
     u8"ЂЃ‚ѓ„…†‡€‰Љ‹ЊЌЋЏђ‘’“”•–—\u0098™љ›њќћџ\u00A0ЎўЈ¤Ґ¦§Ё©Є«¬\u00AD®Ї°±Ііґµ¶·ё№є»јЅѕїАБВГДЕЖЗИЙКЛ"
     u8"МНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмнопрстуфхцчшщъыьэюя"},
    {1252,
     u8"€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008DŽ\u008F\u0090‘’“”•–—˜™š›œ\u009DžŸ\u00A0¡¢£¤¥¦§¨©ª«¬\u00AD®¯°±²³´µ¶·"
     u8"¸¹º»¼½¾¿ÀÁÂÃÄÅÆÇÈÉÊËÌÍÎÏÐÑÒÓÔÕÖ×ØÙÚÛÜÝÞßàáâãäåæçèéêëìíîïðñòóôõö÷øùúûüýþÿ"},
    {1253,
     u8"€\u0081‚ƒ„…†‡\u0088‰\u008A‹\u008C\u008D\u008E\u008F\u0090‘’“”•–—\u0098™\u009A›\u009C\u009D"
     u8"\u009E\u009F\u00A0΅Ά£¤¥¦§¨©\uF8F9«¬\u00AD®―°±²³΄µ¶·ΈΉΊ»Ό½ΎΏΐΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡ\uF8FAΣΤΥΦΧΨΩΪ"
     u8"Ϋάέήίΰαβγδεζηθικλμνξοπρςστυφχψωϊϋόύώ\uF8FB"},
    {1254,
     u8"€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008D\u008E\u008F\u0090‘’“”•–—˜™š›œ\u009D\u009EŸ\u00A0¡¢£¤¥¦§¨©ª«¬\u00AD"
     u8"®¯°±²³´µ¶·¸¹º»¼½¾¿ÀÁÂÃÄÅÆÇÈÉÊËÌÍÎÏĞÑÒÓÔÕÖ×ØÙÚÛÜİŞßàáâãäåæçèéêëìíîïğñòóôõö÷øùúûüışÿ"},
    {1255,
     u8"€\u0081‚ƒ„…†‡ˆ‰\u008A‹\u008C\u008D\u008E\u008F\u0090‘’“”•–—˜™\u009A›\u009C\u009D\u009E"
     u8"\u009F\u00A0¡¢£₪¥¦§¨©×«¬\u00AD®¯°±²³´µ¶·¸¹÷»¼½¾¿ְֱֲֳִֵֶַָֹֺֻּֽ־ֿ׀ׁׂ׃װױײ׳״\uF88D\uF88E\uF88F\uF890\uF891"
     u8"\uF892\uF893אבגדהוזחטיךכלםמןנסעףפץצקרשת\uF894\uF895\u200E\u200F\uF896"},
    {1256,
     u8"€پ‚ƒ„…†‡ˆ‰ٹ‹Œچژڈگ‘’“”•–—ک™ڑ›œ\u200C\u200Dں\u00A0،¢£¤¥¦§¨©ھ«¬\u00AD®¯°±²³´µ¶·¸¹؛»¼½¾؟ہءآأؤإئ"
     u8"ابةتثجحخدذرزسشصض×طظعغـفقكàلâمنهوçèéêëىيîïًٌٍَôُِ÷ّùْûü\u200E\u200Fے"},
    {1257,
     u8"€\u0081‚\u0083„…†‡\u0088‰\u008A‹\u008C¨ˇ¸\u0090‘’“”•–—\u0098™\u009A›\u009C¯˛\u009F\u00A0"
     u8"\uF8FC¢£¤\uF8FD¦§Ø©Ŗ«¬\u00AD®Æ°±²³´µ¶·ø¹ŗ»¼½¾æĄĮĀĆÄÅĘĒČÉŹĖĢĶĪĻŠŃŅÓŌÕÖ×ŲŁŚŪÜŻŽßąįāćäåęēčéźėģ"
     u8"ķīļšńņóōõö÷ųłśūüżž˙"},
    {1258,
     u8"€\u0081‚ƒ„…†‡ˆ‰\u008A‹Œ\u008D\u008E\u008F\u0090‘’“”•–—˜™\u009A›œ\u009D\u009EŸ\u00A0¡¢£¤¥¦§¨"
     u8"©ª«¬\u00AD®¯°±²³´µ¶·¸¹º»¼½¾¿ÀÁÂĂÄÅÆÇÈÉÊË\u0300ÍÎÏĐÑ\u0309ÓÔƠÖ×ØÙÚÛÜƯ\u0303ßàáâăäåæçèéêë"
     u8"\u0301íîïđñ\u0323óôơö÷øùúûüư₫ÿ"},
};

// Decodes one UTF-8 character at `i` and advances.
char32_t next_char(std::u8string_view s, std::size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  const int extra = b0 < 0x80 ? 0 : b0 < 0xE0 ? 1 : b0 < 0xF0 ? 2 : 3;
  char32_t c = extra == 0 ? b0 : b0 & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  i += 1 + extra;
  return c;
}

class CodepageTables : public ::testing::TestWithParam<codepage_case> {
 protected:
  void TearDown() override { set_active_codepage(0); }
};

TEST_P(CodepageTables, EveryByteDecodesAsWindowsDecodesItAndEncodesBack) {
  const codepage_case& c = GetParam();
  set_active_codepage(c.codepage);
  ASSERT_EQ(active_codepage(), c.codepage);
  std::string all_bytes;
  for (int b = 0; b < 128; ++b) {
    const std::string byte(1, static_cast<char>(b));
    ASSERT_EQ(to_utf8(byte), byte) << b;
    ASSERT_EQ(from_utf8(byte), byte) << b;
  }
  std::size_t at = 0;
  for (int b = 0x80; b < 0x100; ++b) {
    ASSERT_LT(at, c.upper_half.size()) << "the fixed table is short at byte " << b;
    const std::size_t start = at;
    const char32_t expected = next_char(c.upper_half, at);
    const std::string expected_utf8(reinterpret_cast<const char*>(c.upper_half.data()) + start,
                                    at - start);
    const std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(to_utf8(byte), expected_utf8) << std::hex << "byte 0x" << b;
    EXPECT_EQ(from_utf8(expected_utf8), byte) << std::hex << "byte 0x" << b;
    if (const auto system = testing::system_decodes(c.codepage, static_cast<unsigned char>(b)))
      EXPECT_EQ(*system, expected) << std::hex << "byte 0x" << b << " as the system decodes it";
    all_bytes += byte;
  }
  EXPECT_EQ(at, c.upper_half.size()) << "the fixed table is long";
  // Every stored text comes back as the same bytes.
  EXPECT_EQ(from_utf8(to_utf8(all_bytes)), all_bytes);
}

INSTANTIATE_TEST_SUITE_P(AllSupported, CodepageTables, ::testing::ValuesIn(cases),
                         [](const ::testing::TestParamInfo<codepage_case>& info) {
                           switch (info.param.codepage) {
                             case 1250:
                               return std::string("CentralEuropean1250");
                             case 1251:
                               return std::string("Cyrillic1251");
                             case 1252:
                               return std::string("Western1252");
                             case 1253:
                               return std::string("Greek1253");
                             case 1254:
                               return std::string("Turkish1254");
                             case 1255:
                               return std::string("Hebrew1255");
                             case 1256:
                               return std::string("Arabic1256");
                             case 1257:
                               return std::string("Baltic1257");
                             case 1258:
                               return std::string("Vietnamese1258");
                           }
                           return std::to_string(info.param.codepage);
                         });

TEST(Codepage, ChosenFromTheEnvironmentOrTheLocale) {
  EXPECT_EQ(codepage_of_locale("ru_RU.UTF-8"), 1251);
  EXPECT_EQ(codepage_of_locale("pl_PL"), 1250);
  EXPECT_EQ(codepage_of_locale("el_GR.UTF-8"), 1253);
  EXPECT_EQ(codepage_of_locale("de_DE.UTF-8"), 1252);
  EXPECT_EQ(codepage_of_locale("C"), 1252);
  EXPECT_TRUE(codepage_supported(system_codepage()));
  EXPECT_FALSE(codepage_supported(1249));
  EXPECT_FALSE(codepage_supported(65001));
  // A code page that is not supported is never chosen.
  set_active_codepage(437);
  EXPECT_TRUE(codepage_supported(active_codepage()));
  set_active_codepage(0);
}

TEST(Codepage, MalformedUtf8AndCharactersOutsideTheTableAreRefused) {
  set_active_codepage(1252);
  std::string bad;
  for (const std::string_view text : {"\xC0\x80", "\xE2\x82", "\xFF", "\xED\xA0\x80"}) {
    EXPECT_FALSE(from_utf8(text, &bad)) << text.size();
  }
  EXPECT_FALSE(from_utf8("\xF0\x9F\x8E\xB9", &bad));  // a character beyond U+FFFF
  EXPECT_EQ(bad, "\xF0\x9F\x8E\xB9");
  set_active_codepage(0);
}

}  // namespace
}  // namespace qbank
