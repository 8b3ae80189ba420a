#pragma once

#include "toolkit/textcipher.h"

// The suite's two fixed cipher keys. Every program that shares the journal database uses the
// same ones; they are assembled at run time rather than kept as one constant in the image.
const TextCipher::Key &CredentialKey();
const TextCipher::Key &RichTextKey();
