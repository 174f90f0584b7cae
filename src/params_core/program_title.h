#pragma once
// The program title as every file of this program records it ("SCOPE VERSION:") and as
// loaders compare it. Kept free of Qt so that the file mappings can use it.

namespace velorax {

inline constexpr char kProgramTitle[] = "VELORAX3-KVT-ANA-Scope V1.0";

}  // namespace velorax
