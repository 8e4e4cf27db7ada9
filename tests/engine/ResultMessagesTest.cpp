#include <gtest/gtest.h>

#include <string>

#include "engine/ResultMessages.h"
#include "platform/Text.h"

namespace zyq {
namespace {

struct Expected {
  int32_t code;
  std::u16string_view pattern;
};

// Every message as users read it (wide text), with %d where the code goes.
constexpr Expected kExpected[] = {
    {0, u"成功(%d)"},
    {1001, u"無法建立目錄(%d)"},
    {1002, u"檔案無法讀取(%d)"},
    {1003, u"檔案無法寫入(%d)"},
    {3001, u"尚未認證(%d)"},
    {3002, u"認證失敗(%d)"},
    {3003, u"下單主機不受信任, 認證失敗(%d)"},
    {3004, u"認證(回覆)識別元錯誤, 認證失敗(%d)"},
    {3005, u"重複認證(%d)"},
    {3201, u"智慧卡服務, 已經停止(%d)"},
    {3202, u"智慧卡拔插, 作業逾時(%d)"},
    {3203, u"智慧卡拔插錯誤(%d)"},
    {3204, u"智慧卡密碼錯誤次數過多, 已經鎖住(%d)"},
    {3205, u"智慧卡服務已經停止(%d)"},
    {3206, u"智慧卡密碼錯誤(%d)"},
    {3207, u"發現停用的智慧卡載具(裝置), 請先排除此問題(%d)"},
    {5001, u"一般錯誤(%d)"},
    {5002, u"配置記憶體發生錯誤(%d)"},
    {5003, u"配置記憶體不足(%d)"},
    {5004, u"不支援的功能(%d)"},
    {5005, u"錯誤的參數(%d)"},
    {5006, u"Handle錯誤(%d)"},
    {5008, u"Base64 編碼錯誤(%d)"},
    {5010, u"無法在憑證區中,找到指定憑證(%d)"},
    {5011, u"憑證已過期(%d)"},
    {5012, u"憑證尚未合法,無法使用(%d)"},
    {5013, u"憑證可能過期或無法使用(%d)"},
    {5014, u"憑證主旨錯誤(%d)"},
    {5015, u"無法找到憑證發行者(%d)"},
    {5016, u"不合法的憑證簽章(%d)"},
    {5017, u"憑證用途(加解密,簽驗章)不合適(%d)"},
    {5018, u"憑證尚未註冊, 無法找到指定憑證(%d)"},
    {5020, u"憑證已撤銷(%d)"},
    {5021, u"憑證已撤銷(金鑰洩露)(%d)"},
    {5022, u"憑證已撤銷(CA compromised)(%d)"},
    {5023, u"憑證已撤銷(聯盟已變更)(%d)"},
    {5024, u"憑證已撤銷(已取代)(%d)"},
    {5025, u"憑證已撤銷(已停止)(%d)"},
    {5026, u"憑證保留或暫禁(%d)"},
    {5028, u"憑證已被CRL撤銷(%d)"},
    {5030, u"CRL已過期(%d)"},
    {5031, u"不合法的CRL(%d)"},
    {5032, u"無法找到CRL(%d)"},
    {5034, u"CRL簽章值錯誤(%d)"},
    {5035, u"Digest錯誤(%d)"},
    {5036, u"不合法的簽章(%d)"},
    {5037, u"內容錯誤(%d)"},
    {5040, u"憑證格式錯誤(%d)"},
    {5041, u"CRL格式錯誤(%d)"},
    {5042, u"錯誤的PKCS7格式(%d)"},
    {5043, u"Key的格式錯誤(%d)"},
    {5044, u"不合法的PKCS10格式(%d)"},
    {5045, u"不合適的格式(%d)"},
    {5046, u"CSP 名稱錯誤(%d)"},
    {5050, u"物件不存在(%d)"},
    {5051, u"PKCS7內容沒有包含原文(%d)"},
    {5052, u"PKCS7內容沒有包含憑證(%d)"},
    {5053, u"PKCS7內容沒有包含簽章資訊(%d)"},
    {5060, u"金鑰不存在(%d)"},
    {5061, u"簽章失敗(%d)"},
    {5062, u"驗章失敗(%d)"},
    {5063, u"加密失敗(%d)"},
    {5064, u"解密失敗(%d)"},
    {5065, u"產生金鑰失敗(%d)"},
    {5066, u"刪除憑證失敗(%d)"},
    {5070, u"使用者按下\"取消\"按鈕(%d)"},
    {5071, u"密碼錯誤(%d)"},
    {5080, u"無法剖析XML文件(%d)"},
    {5081, u"無法在XML中,找到指定的標籤名稱(%d)"},
    {5200, u"列舉 CSP 發生錯誤(%d)"},
    {5201, u"開啟\"個人憑證區\"失敗(%d)"},
    {5202, u"憑證鏈不存在(%d)"},
    {5203, u"無法取得CSP資源(%d)"},
    {5204, u"找不到關聯的私密金鑰(%d)"},
    {5205, u"關聯的私密金鑰已被標記成\"不能匯出\"(%d)"},
    {5206, u"個人憑證區存取被拒(%d)"},
    {5207, u"PKCS12檔案格式錯誤(%d)"},
    {5208, u"PKCS12 密碼錯誤(%d)"},
    {5209, u"新密碼及確認密碼不一致(%d)"},
    {5221, u"開啟\"信任根憑證區\"失敗(%d)"},
    {5222, u"開啟\"信任中繼憑證區\"失敗(%d)"},
    {5223, u"開啟\"其他人憑證區\"失敗(%d)"},
    {5224, u"憑證鏈有誤, 無法信任(%d)"},
    {5226, u"開啟\"記憶體憑證區\"失敗(%d)"},
    {5301, u"金鑰長度錯誤(%d)"},
    {5302, u"金鑰產生失敗(%d)"},
    {5303, u"憑證交換檔產生失敗(%d)"},
    {5304, u"憑證請求檔產生失敗(%d)"},
    {5305, u"ASN1編碼失敗(%d)"},
    {5401, u"憑證交換檔讀取失敗(%d)"},
    {5402, u"憑證交換檔寫入失敗(%d)"},
    {5901, u"Unicode錯誤(%d)"},
    {5902, u"File Not Found(%d)"},
    {5903, u"Path Not Found(%d)"},
    {5904, u"Network path was not found(%d)"},
    {5905, u"Unknown logon user name or bad password(%d)"},
    {5906, u"Access Denied, no right(%d)"},
    {7701, u"一般錯誤(%d)"},
    {7704, u"所指定的演算法不正確(%d)"},
    {7705, u"執行簽驗章演算法時發生錯誤(%d)"},
    {7706, u"簽章值錯誤(%d)"},
    {7707, u"Reference的摘要值錯誤(%d)"},
    {7708, u"執行正規化演算法時發生錯誤(%d)"},
    {7709, u"執行Transform演算法時發生錯誤(%d)"},
    {7710, u"執行Resolver時發生錯誤(%d)"},
    {7711, u"找不到簽章值(%d)"},
    {7712, u"解析XML文件時發生錯誤(%d)"},
    {7713, u"所指向的文件不存在或為空值(%d)"},
    {7714, u"憑證內容與<X509Data>的記載不符合(%d)"},
    {7715, u"XML文件不存在或格式錯誤(%d)"},
    {7716, u"參數不正確(%d)"},
    {7717, u"不支援此C14N演算法(%d)"},
    {7718, u"不支援此簽章演算法(%d)"},
    {7719, u"不支援此摘要演算法(%d)"},
};

std::u16string Fill(std::u16string_view pattern, int32_t code) {
  std::u16string text(pattern);
  const size_t at = text.find(u"%d");
  const std::string digits = std::to_string(code);
  return text.replace(at, 2, std::u16string(digits.begin(), digits.end()));
}

TEST(ResultMessagesTest, EveryCodeReadsAsItsTextThroughTheWideConversion) {
  ASSERT_EQ(platform::AnsiCodePage(), 950u);
  for (const Expected& e : kExpected) {
    EXPECT_EQ(platform::AnsiToWide(ResultMessage(e.code)), Fill(e.pattern, e.code)) << e.code;
  }
}

TEST(ResultMessagesTest, PatternsAreStoredAsCodePage950Bytes) {
  // 成功 is A6 A8 A5 5C in code page 950: the second character's trail byte is a backslash.
  EXPECT_EQ(ResultMessage(0), std::string("\xA6\xA8\xA5\x5C(0)"));
  // The quotation marks inside the cancel message are ASCII.
  EXPECT_EQ(platform::AnsiToWide(ResultMessage(5070)), u"使用者按下\"取消\"按鈕(5070)");
}

TEST(ResultMessagesTest, SharedPatternsCarryTheirOwnCode) {
  EXPECT_EQ(platform::AnsiToWide(ResultMessage(5001)), u"一般錯誤(5001)");
  EXPECT_EQ(platform::AnsiToWide(ResultMessage(7701)), u"一般錯誤(7701)");
}

TEST(ResultMessagesTest, UndefinedCodesUseTheDefaultPatternWithTrailingBlank) {
  EXPECT_EQ(platform::AnsiToWide(ResultMessage(12345)), u"錯誤碼未定義(12345) ");
  EXPECT_EQ(platform::AnsiToWide(ResultMessage(-1)), u"錯誤碼未定義(-1) ");
  EXPECT_EQ(platform::AnsiToWide(ResultMessage(INT32_MIN)), u"錯誤碼未定義(-2147483648) ");
  EXPECT_EQ(platform::AnsiToWide(ResultMessage(5007)), u"錯誤碼未定義(5007) ");
}

}  // namespace
}  // namespace zyq
