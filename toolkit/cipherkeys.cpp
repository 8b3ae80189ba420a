#include "toolkit/cipherkeys.h"

namespace {

TextCipher::Key g_credentialKey;
TextCipher::Key g_richTextKey;

} // namespace

const TextCipher::Key &CredentialKey()
{
    TextCipher::Key &k = g_credentialKey;
    k[0] = 0x56;
    k[1] = 0x9E;
    k[2] = 0x31;
    k[3] = 0xC4;
    k[4] = 0x7A;
    k[5] = 0x0D;
    k[6] = 0xE8;
    k[7] = 0x52;
    k[8] = 0xB3;
    k[9] = 0x16;
    k[10] = 0x6F;
    k[11] = 0xA9;
    k[12] = 0x24;
    k[13] = 0xD7;
    k[14] = 0x8B;
    k[15] = 0x40;
    return k;
}

const TextCipher::Key &RichTextKey()
{
    TextCipher::Key &k = g_richTextKey;
    k[0] = 0xE1;
    k[1] = 0x4B;
    k[2] = 0x92;
    k[3] = 0x07;
    k[4] = 0x6C;
    k[5] = 0xD5;
    k[6] = 0x38;
    k[7] = 0xAF;
    k[8] = 0x13;
    k[9] = 0x7E;
    k[10] = 0xC0;
    k[11] = 0x59;
    k[12] = 0xA4;
    k[13] = 0x2D;
    k[14] = 0xF6;
    k[15] = 0x81;
    return k;
}
