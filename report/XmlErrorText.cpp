#include "report/XmlErrorText.h"

namespace tolv::report {

std::string XmlErrorText(XML_Error code) {
    switch (code) {
    case XML_ERROR_NO_MEMORY:
        return "bellek yetersiz";
    case XML_ERROR_SYNTAX:
        return "sözdizimi hatası";
    case XML_ERROR_NO_ELEMENTS:
        return "belge bitti ama hiç öğe yok ya da kök öğe kapanmadan dosya sona erdi";
    case XML_ERROR_INVALID_TOKEN:
        return "bu konumda geçersiz bir karakter ya da biçim var (dosya bozuk ya da "
               "yanlış kodlanmış olabilir)";
    case XML_ERROR_UNCLOSED_TOKEN:
        return "bir etiket ya da yapı kapanmadan dosya sona erdi (dosya eksik olabilir)";
    case XML_ERROR_PARTIAL_CHAR:
        return "yarım kalmış bir karakter var (dosya eksik ya da yanlış kodlanmış olabilir)";
    case XML_ERROR_TAG_MISMATCH:
        return "kapanış etiketi açılış etiketiyle eşleşmiyor";
    case XML_ERROR_DUPLICATE_ATTRIBUTE:
        return "aynı öznitelik bir öğede iki kez yazılmış";
    case XML_ERROR_JUNK_AFTER_DOC_ELEMENT:
        return "kök öğeden sonra fazladan içerik var";
    case XML_ERROR_PARAM_ENTITY_REF:
        return "parametre varlığı başvurusuna izin verilmeyen bir yerde";
    case XML_ERROR_UNDEFINED_ENTITY:
        return "tanımlanmamış bir varlık (&...;) kullanılmış";
    case XML_ERROR_RECURSIVE_ENTITY_REF:
        return "bir varlık kendine başvuruyor";
    case XML_ERROR_ASYNC_ENTITY:
        return "bir varlığın içeriği dengeli değil";
    case XML_ERROR_BAD_CHAR_REF:
        return "karakter başvurusu (&#...;) geçerli bir karaktere karşılık gelmiyor";
    case XML_ERROR_BINARY_ENTITY_REF:
        return "ikili (ayrıştırılmayan) bir varlığa başvurulmuş";
    case XML_ERROR_ATTRIBUTE_EXTERNAL_ENTITY_REF:
        return "öznitelik değerinde dış varlığa başvurulmuş";
    case XML_ERROR_MISPLACED_XML_PI:
        return "XML bildirimi belgenin başında değil";
    case XML_ERROR_UNKNOWN_ENCODING:
        return "belgenin bildirdiği karakter kodlaması desteklenmiyor";
    case XML_ERROR_INCORRECT_ENCODING:
        return "XML bildirimindeki kodlama dosyanın gerçek kodlamasıyla uyuşmuyor";
    case XML_ERROR_UNCLOSED_CDATA_SECTION:
        return "CDATA bölümü kapanmadan dosya sona erdi";
    case XML_ERROR_EXTERNAL_ENTITY_HANDLING:
        return "dış varlık işlenemedi";
    case XML_ERROR_NOT_STANDALONE:
        return "belge bağımsız değil";
    case XML_ERROR_ENTITY_DECLARED_IN_PE:
        return "varlık bir parametre varlığının içinde tanımlanmış";
    case XML_ERROR_UNBOUND_PREFIX:
        return "tanımlanmamış bir ad alanı öneki kullanılmış (xmlns bildirimi eksik)";
    case XML_ERROR_UNDECLARING_PREFIX:
        return "bir ad alanı önekinin bildirimi kaldırılamaz";
    case XML_ERROR_INCOMPLETE_PE:
        return "parametre varlığı eksik bir bildirim içeriyor";
    case XML_ERROR_XML_DECL:
        return "XML bildirimi hatalı";
    case XML_ERROR_TEXT_DECL:
        return "metin bildirimi hatalı";
    case XML_ERROR_PUBLICID:
        return "PUBLIC tanıtıcısında geçersiz karakter var";
    case XML_ERROR_RESERVED_PREFIX_XML:
    case XML_ERROR_RESERVED_PREFIX_XMLNS:
    case XML_ERROR_RESERVED_NAMESPACE_URI:
        return "ayrılmış bir ad alanı öneki ya da adresi yanlış kullanılmış";
    case XML_ERROR_AMPLIFICATION_LIMIT_BREACH:
        return "varlık genişletmesi güvenlik sınırını aşıyor (belge kötü amaçlı olabilir)";
    default: {
        const XML_LChar* english = XML_ErrorString(code);
        return "ayrıştırıcı hatası " + std::to_string(int(code)) +
               (english ? std::string(" (") + english + ")" : std::string());
    }
    }
}

std::string UnknownEncodingText(const std::string& name) {
    return "belgenin bildirdiği karakter kodlaması desteklenmiyor: " + name +
           " (bu sistemin dönüştürebildiği ve ASCII karakterlerini olduğu gibi tutan bir "
           "kodlama olmalı)";
}

} // namespace tolv::report
