// The decoder's fixed data in one place: one row per opcode with its flag word and
// mnemonic, the group table, the mnemonic list and the 3DNow! suffix list. Filled from
// Intel's opcode maps (one-byte, two-byte with MMX, SSE, SSE2 and SSE3, x87 escape maps).
// The mnemonic indexes are worked out at compile time from the names in the rows.

#include "trace/x86/x86_tables.h"

#include <string_view>

namespace trace::x86 {
namespace {

// The mnemonic list: general-purpose and system instructions, then MMX/SSE/3DNow!,
// then the x87 escapes (their names lack the leading "f"). Index 0 is "no name".
constexpr std::string_view kNames[kMnemonicCount + 1] = {
    "",
    "aaa",                                                    // 1
    "aad",                                                    // 2
    "aam",                                                    // 3
    "aas",                                                    // 4
    "adc",                                                    // 5
    "add",                                                    // 6
    "add|or|adc|sbb|and|sub|xor|cmp",                         // 7
    "and",                                                    // 8
    "arpl",                                                   // 9
    "bound",                                                  // 10
    "bsf",                                                    // 11
    "bsr",                                                    // 12
    "bswap",                                                  // 13
    "bt",                                                     // 14
    "btc",                                                    // 15
    "btr",                                                    // 16
    "bts",                                                    // 17
    "||||bt|bts|btr|btc",                                     // 18
    "call",                                                   // 19
    "cdq/cwd",                                                // 20
    "clc",                                                    // 21
    "cld",                                                    // 22
    "cli",                                                    // 23
    "clts",                                                   // 24
    "cmc",                                                    // 25
    "cmov%cc",                                                // 26
    "cmp",                                                    // 27
    "cmpsb",                                                  // 28
    "cmpsd/cmpsw",                                            // 29
    "cmpxchg",                                                // 30
    "|cmpxchg8b||||||:||||||rdrand|rdseed",                   // 31
    "cpuid",                                                  // 32
    "cwde/cbw",                                               // 33
    "daa",                                                    // 34
    "das",                                                    // 35
    "dec",                                                    // 36
    "enter",                                                  // 37
    "hlt",                                                    // 38
    "imul",                                                   // 39
    "in",                                                     // 40
    "inc",                                                    // 41
    "inc|dec|call|call|jmp|jmp|push",                         // 42
    "insb",                                                   // 43
    "insd/insw",                                              // 44
    "int",                                                    // 45
    "int     3",                                              // 46
    "int1",                                                   // 47
    "into",                                                   // 48
    "invd",                                                   // 49
    "iretd/iretw",                                            // 50
    "j%cc",                                                   // 51
    "jecxz",                                                  // 52
    "jmp",                                                    // 53
    "lahf",                                                   // 54
    "lar",                                                    // 55
    "lds",                                                    // 56
    "lea",                                                    // 57
    "leave",                                                  // 58
    "les",                                                    // 59
    "lfs",                                                    // 60
    "lgs",                                                    // 61
    "lodsb",                                                  // 62
    "lodsd/lodsw",                                            // 63
    "loop",                                                   // 64
    "loope",                                                  // 65
    "loopne",                                                 // 66
    "lsl",                                                    // 67
    "lss",                                                    // 68
    "mov",                                                    // 69
    "movd///movq",                                            // 70
    "movsb",                                                  // 71
    "movsd/movsw",                                            // 72
    "movsx",                                                  // 73
    "movzx",                                                  // 74
    "nop",                                                    // 75
    "or",                                                     // 76
    "out",                                                    // 77
    "outsb",                                                  // 78
    "outsd/outsw",                                            // 79
    "pinsrw",                                                 // 80
    "pop",                                                    // 81
    "pop     %seg",                                           // 82
    "popad/popaw",                                            // 83
    "popfd/popfw",                                            // 84
    "push",                                                   // 85
    "push    %seg",                                           // 86
    "pushad/pushaw",                                          // 87
    "pushfd/pushfw",                                          // 88
    "rdmsr",                                                  // 89
    "rdpmc",                                                  // 90
    "rdtsc",                                                  // 91
    "ret",                                                    // 92
    "retf",                                                   // 93
    "rol|ror|rcl|rcr|shl|shr|sal|sar",                        // 94
    "sahf",                                                   // 95
    "salc",                                                   // 96
    "sbb",                                                    // 97
    "scasb",                                                  // 98
    "scasd/scasw",                                            // 99
    "set%cc",                                                 // 100
    "sgdt|sidt|lgdt|lidt|smsw||lmsw|invlpg:||||smsw||lmsw|",  // 101
    "shld",                                                   // 102
    "shrd",                                                   // 103
    "sldt|str|lldt|ltr|verr|verw||",                          // 104
    "stc",                                                    // 105
    "std",                                                    // 106
    "sti",                                                    // 107
    "stosb",                                                  // 108
    "stosd/stosw",                                            // 109
    "sub",                                                    // 110
    "sysenter",                                               // 111
    "sysexit",                                                // 112
    "test",                                                   // 113
    "test||not|neg|mul|imul|div|idiv",                        // 114
    "wait",                                                   // 115
    "wbinvd",                                                 // 116
    "wrmsr",                                                  // 117
    "xadd",                                                   // 118
    "xchg",                                                   // 119
    "xlatb",                                                  // 120
    "xor",                                                    // 121
    "addPS",                                                  // 122
    "/addsubpd/addsubps",                                     // 123
    "andnPS",                                                 // 124
    "andPS",                                                  // 125
    "cmpPS",                                                  // 126
    "comisS",                                                 // 127
    "cvtdq2ps/cvtps2dq//cvttps2dq",                           // 128
    "cvtpi2ps/cvtpi2pd/cvtsi2sd/cvtsi2ss",                    // 129
    "cvtps2pd/cvtpd2ps/cvtsd2ss/cvtss2sd",                    // 130
    "cvtps2pi/cvtpd2pi/cvtsd2si/cvtss2si",                    // 131
    "/cvttpd2dq/cvtpd2dq/cvtdq2pd",                           // 132
    "cvttps2pi/cvttpd2pi/cvttsd2si/cvttss2si",                // 133
    "divPS",                                                  // 134
    "emms",                                                   // 135
    "femms",                                                  // 136
    "fxsave|fxrstor|ldmxcsr|stmxcsr|xsave|xrstor|xsaveopt|clflush:|||||lfence|"
    "mfence|sfence",                                     // 137
    "/haddpd/haddps",                                    // 138
    "/hsubpd/hsubps",                                    // 139
    "//lddqu",                                           // 140
    "maskmovq/maskmovdqu",                               // 141
    "maxPS",                                             // 142
    "minPS",                                             // 143
    "movaPS",                                            // 144
    "movhPS:movlhps",                                    // 145
    "movlPS:movhlps",                                    // 146
    "movmskPS",                                          // 147
    "movnti",                                            // 148
    "movntPS",                                           // 149
    "movntq/movntdq",                                    // 150
    "/movq/movdq2q/movq2dq",                             // 151
    "movq/movdqa//movdqu",                               // 152
    "movups/movupd/movsd/movss",                         // 153
    "mulPS",                                             // 154
    "orPS",                                              // 155
    "packssdw",                                          // 156
    "packsswb",                                          // 157
    "packuswb",                                          // 158
    "paddb",                                             // 159
    "paddd",                                             // 160
    "paddq",                                             // 161
    "paddsb",                                            // 162
    "paddsw",                                            // 163
    "paddusb",                                           // 164
    "paddusw",                                           // 165
    "paddw",                                             // 166
    "pand",                                              // 167
    "pandn",                                             // 168
    "pavgb",                                             // 169
    "pavgw",                                             // 170
    "pcmpeqb",                                           // 171
    "pcmpeqd",                                           // 172
    "pcmpeqw",                                           // 173
    "pcmpgtb",                                           // 174
    "pcmpgtd",                                           // 175
    "pcmpgtw",                                           // 176
    "pextrw",                                            // 177
    "pmaddwd",                                           // 178
    "pmaxsw",                                            // 179
    "pmaxub",                                            // 180
    "pminsw",                                            // 181
    "pminub",                                            // 182
    "pmovmskb",                                          // 183
    "pmulhuw",                                           // 184
    "pmulhw",                                            // 185
    "pmullw",                                            // 186
    "pmuludq",                                           // 187
    "por",                                               // 188
    "prefetchnta|prefetcht0|prefetcht1|prefetcht2||||",  // 189
    "prefetch|prefetchw||||||",                          // 190
    "psadbw",                                            // 191
    "pshufw/pshufd/pshuflw/pshufhw",                     // 192
    "pslld",                                             // 193
    "psllq",                                             // 194
    "psllw",                                             // 195
    "psrad",                                             // 196
    "psraw",                                             // 197
    "psrld",                                             // 198
    "||psrld||psrad||pslld|",                            // 199
    "psrlq",                                             // 200
    "||psrlq|psrldq|||psllq|pslldq",                     // 201
    "psrlw",                                             // 202
    "||psrlw||psraw||psllw|",                            // 203
    "psubb",                                             // 204
    "psubd",                                             // 205
    "psubq",                                             // 206
    "psubsb",                                            // 207
    "psubsw",                                            // 208
    "psubusb",                                           // 209
    "psubusw",                                           // 210
    "psubw",                                             // 211
    "punpckhbw",                                         // 212
    "punpckhdq",                                         // 213
    "/punpckhqdq",                                       // 214
    "punpckhwd",                                         // 215
    "punpcklbw",                                         // 216
    "punpckldq",                                         // 217
    "/punpcklqdq",                                       // 218
    "punpcklwd",                                         // 219
    "pxor",                                              // 220
    "rcpPS",                                             // 221
    "rsqrtPS",                                           // 222
    "shufPS",                                            // 223
    "sqrtPS",                                            // 224
    "subPS",                                             // 225
    "ucomisS",                                           // 226
    "unpckhPS",                                          // 227
    "unpcklPS",                                          // 228
    "xorPS",                                             // 229
    "add|mul|com|comp|sub|subr|div|divr",                // 230
    "ld||st|stp|ldenv|ldcw|nstenv|nstcw|ld|xch|nop-||chs-abs---tst-xam|ld1-ldl2t-"
    "ldl2e-ldpi-ldlg2-ldln2-ldz|2xm1-yl2x-ptan-patan-xtract-prem1-decstp-incstp|"
    "prem-yl2xp1-sqrt-sincos-rndint-scale-sin-cos",  // 231
    "iadd|imul|icom|icomp|isub|isubr|idiv|idivr|cmovb|cmove|cmovbe|cmovu||-ucompp|"
    "|",  // 232
    "ild|isttp|ist|istp||ld||stp|cmovnb|cmovne|cmovnbe|cmovnu|--nclex-ninit|ucomi|"
    "comi|",                                                           // 233
    "add|mul|com|comp|sub|subr|div|divr|add|mul|||subr|sub|divr|div",  // 234
    "ld|isttp|st|stp|rstor||nsave|nstsw|free||st|stp|ucom|ucomp||",    // 235
    "iadd|imul|icom|icomp|isub|isubr|idiv|idivr|addp|mulp||-compp|subrp|subp|divrp|"
    "divp",                                                               // 236
    "ild|isttp|ist|istp|bld|ild|bstp|istp|||||nstsw  ax-|ucomip|comip|",  // 237
};

// One opcode: its flag word and mnemonic ("" for prefixes, the escape and invalid ones).
struct Row {
  uint16_t flags;
  std::string_view name;
};

// One-byte opcodes.
constexpr Row kOneByteRows[256] = {
    {0x4211, "add"},                                 // 00
    {0x42E4, "add"},                                 // 01
    {0x2011, "add"},                                 // 02
    {0x20E4, "add"},                                 // 03
    {0x8441, "add"},                                 // 04
    {0x8C42, "add"},                                 // 05
    {0x0000, "push    %seg"},                        // 06
    {0x0000, "pop     %seg"},                        // 07
    {0x4211, "or"},                                  // 08
    {0x42E4, "or"},                                  // 09
    {0x2011, "or"},                                  // 0a
    {0x20E4, "or"},                                  // 0b
    {0x8441, "or"},                                  // 0c
    {0x8C42, "or"},                                  // 0d
    {0x0000, "push    %seg"},                        // 0e
    {0x0000, ""},                                    // 0f
    {0x4211, "adc"},                                 // 10
    {0x42E4, "adc"},                                 // 11
    {0x2011, "adc"},                                 // 12
    {0x20E4, "adc"},                                 // 13
    {0x8441, "adc"},                                 // 14
    {0x8C42, "adc"},                                 // 15
    {0x0000, "push    %seg"},                        // 16
    {0x0000, "pop     %seg"},                        // 17
    {0x4211, "sbb"},                                 // 18
    {0x42E4, "sbb"},                                 // 19
    {0x2011, "sbb"},                                 // 1a
    {0x20E4, "sbb"},                                 // 1b
    {0x8441, "sbb"},                                 // 1c
    {0x8C42, "sbb"},                                 // 1d
    {0x0000, "push    %seg"},                        // 1e
    {0x0000, "pop     %seg"},                        // 1f
    {0x4211, "and"},                                 // 20
    {0x42E4, "and"},                                 // 21
    {0x2011, "and"},                                 // 22
    {0x20E4, "and"},                                 // 23
    {0x8441, "and"},                                 // 24
    {0x8C42, "and"},                                 // 25
    {0x0000, ""},                                    // 26
    {0x8000, "daa"},                                 // 27
    {0x4211, "sub"},                                 // 28
    {0x42E4, "sub"},                                 // 29
    {0x2011, "sub"},                                 // 2a
    {0x20E4, "sub"},                                 // 2b
    {0x8441, "sub"},                                 // 2c
    {0x8C42, "sub"},                                 // 2d
    {0x0000, ""},                                    // 2e
    {0x8000, "das"},                                 // 2f
    {0x4211, "xor"},                                 // 30
    {0x42E4, "xor"},                                 // 31
    {0x2011, "xor"},                                 // 32
    {0x20E4, "xor"},                                 // 33
    {0x8441, "xor"},                                 // 34
    {0x8C42, "xor"},                                 // 35
    {0x0000, ""},                                    // 36
    {0x8000, "aaa"},                                 // 37
    {0x0211, "cmp"},                                 // 38
    {0x02E4, "cmp"},                                 // 39
    {0x0011, "cmp"},                                 // 3a
    {0x00E4, "cmp"},                                 // 3b
    {0x0441, "cmp"},                                 // 3c
    {0x0C42, "cmp"},                                 // 3d
    {0x0000, ""},                                    // 3e
    {0x8000, "aas"},                                 // 3f
    {0x6045, "inc"},                                 // 40
    {0x6045, "inc"},                                 // 41
    {0x6045, "inc"},                                 // 42
    {0x6045, "inc"},                                 // 43
    {0x6045, "inc"},                                 // 44
    {0x6045, "inc"},                                 // 45
    {0x6045, "inc"},                                 // 46
    {0x6045, "inc"},                                 // 47
    {0x6045, "dec"},                                 // 48
    {0x6045, "dec"},                                 // 49
    {0x6045, "dec"},                                 // 4a
    {0x6045, "dec"},                                 // 4b
    {0x6045, "dec"},                                 // 4c
    {0x6045, "dec"},                                 // 4d
    {0x6045, "dec"},                                 // 4e
    {0x6045, "dec"},                                 // 4f
    {0x0045, "push"},                                // 50
    {0x0045, "push"},                                // 51
    {0x0045, "push"},                                // 52
    {0x0045, "push"},                                // 53
    {0x0045, "push"},                                // 54
    {0x0045, "push"},                                // 55
    {0x0045, "push"},                                // 56
    {0x0045, "push"},                                // 57
    {0x6045, "pop"},                                 // 58
    {0x6045, "pop"},                                 // 59
    {0x6045, "pop"},                                 // 5a
    {0x6045, "pop"},                                 // 5b
    {0x6045, "pop"},                                 // 5c
    {0x6045, "pop"},                                 // 5d
    {0x6045, "pop"},                                 // 5e
    {0x6045, "pop"},                                 // 5f
    {0x0000, "pushad/pushaw"},                       // 60
    {0xC000, "popad/popaw"},                         // 61
    {0x0024, "bound"},                               // 62
    {0x421A, "arpl"},                                // 63
    {0x0000, ""},                                    // 64
    {0x0000, ""},                                    // 65
    {0x0000, ""},                                    // 66
    {0x0000, ""},                                    // 67
    {0x0C00, "push"},                                // 68
    {0x2CE4, "imul"},                                // 69
    {0x0400, "push"},                                // 6a
    {0x24E4, "imul"},                                // 6b
    {0xE000, "insb"},                                // 6c
    {0xE000, "insd/insw"},                           // 6d
    {0xE000, "outsb"},                               // 6e
    {0xE000, "outsd/outsw"},                         // 6f
    {0x1400, "j%cc"},                                // 70
    {0x1400, "j%cc"},                                // 71
    {0x1400, "j%cc"},                                // 72
    {0x1400, "j%cc"},                                // 73
    {0x1400, "j%cc"},                                // 74
    {0x1400, "j%cc"},                                // 75
    {0x1400, "j%cc"},                                // 76
    {0x1400, "j%cc"},                                // 77
    {0x1400, "j%cc"},                                // 78
    {0x1400, "j%cc"},                                // 79
    {0x1400, "j%cc"},                                // 7a
    {0x1400, "j%cc"},                                // 7b
    {0x1400, "j%cc"},                                // 7c
    {0x1400, "j%cc"},                                // 7d
    {0x1400, "j%cc"},                                // 7e
    {0x1400, "j%cc"},                                // 7f
    {0x0510, "add|or|adc|sbb|and|sub|xor|cmp"},      // 80
    {0x0DA0, "add|or|adc|sbb|and|sub|xor|cmp"},      // 81
    {0x0510, "add|or|adc|sbb|and|sub|xor|cmp"},      // 82
    {0x05A0, "add|or|adc|sbb|and|sub|xor|cmp"},      // 83
    {0x0211, "test"},                                // 84
    {0x02E4, "test"},                                // 85
    {0x4211, "xchg"},                                // 86
    {0x42E4, "xchg"},                                // 87
    {0x4211, "mov"},                                 // 88
    {0x42E4, "mov"},                                 // 89
    {0x2011, "mov"},                                 // 8a
    {0x20E4, "mov"},                                 // 8b
    {0x421B, "mov"},                                 // 8c
    {0x2024, "lea"},                                 // 8d
    {0x001B, "mov"},                                 // 8e
    {0x41A0, "pop"},                                 // 8f
    {0x0000, "nop"},                                 // 90
    {0x6046, "xchg"},                                // 91
    {0x6046, "xchg"},                                // 92
    {0x6046, "xchg"},                                // 93
    {0x6046, "xchg"},                                // 94
    {0x6046, "xchg"},                                // 95
    {0x6046, "xchg"},                                // 96
    {0x6046, "xchg"},                                // 97
    {0x8000, "cwde/cbw"},                            // 98
    {0xA000, "cdq/cwd"},                             // 99
    {0x0000, "call"},                                // 9a
    {0x0000, "wait"},                                // 9b
    {0x0000, "pushfd/pushfw"},                       // 9c
    {0x0000, "popfd/popfw"},                         // 9d
    {0x0000, "sahf"},                                // 9e
    {0x8000, "lahf"},                                // 9f
    {0x8001, "mov"},                                 // a0
    {0x8002, "mov"},                                 // a1
    {0x0201, "mov"},                                 // a2
    {0x0202, "mov"},                                 // a3
    {0xE000, "movsb"},                               // a4
    {0xE000, "movsd/movsw"},                         // a5
    {0xE000, "cmpsb"},                               // a6
    {0xE000, "cmpsd/cmpsw"},                         // a7
    {0x0441, "test"},                                // a8
    {0x0C42, "test"},                                // a9
    {0xE000, "stosb"},                               // aa
    {0xE000, "stosd/stosw"},                         // ab
    {0xE000, "lodsb"},                               // ac
    {0xE000, "lodsd/lodsw"},                         // ad
    {0xE000, "scasb"},                               // ae
    {0xE000, "scasd/scasw"},                         // af
    {0x6444, "mov"},                                 // b0
    {0x6444, "mov"},                                 // b1
    {0x6444, "mov"},                                 // b2
    {0x6444, "mov"},                                 // b3
    {0x6444, "mov"},                                 // b4
    {0x6444, "mov"},                                 // b5
    {0x6444, "mov"},                                 // b6
    {0x6444, "mov"},                                 // b7
    {0x6C45, "mov"},                                 // b8
    {0x6C45, "mov"},                                 // b9
    {0x6C45, "mov"},                                 // ba
    {0x6C45, "mov"},                                 // bb
    {0x6C45, "mov"},                                 // bc
    {0x6C45, "mov"},                                 // bd
    {0x6C45, "mov"},                                 // be
    {0x6C45, "mov"},                                 // bf
    {0x4510, "rol|ror|rcl|rcr|shl|shr|sal|sar"},     // c0
    {0x45A0, "rol|ror|rcl|rcr|shl|shr|sal|sar"},     // c1
    {0x0800, "ret"},                                 // c2
    {0x0000, "ret"},                                 // c3
    {0x2024, "les"},                                 // c4
    {0x2024, "lds"},                                 // c5
    {0x4510, "mov"},                                 // c6
    {0x4DA0, "mov"},                                 // c7
    {0x0000, "enter"},                               // c8
    {0x0000, "leave"},                               // c9
    {0x0800, "retf"},                                // ca
    {0x0000, "retf"},                                // cb
    {0x0000, "int     3"},                           // cc
    {0x0400, "int"},                                 // cd
    {0x0000, "into"},                                // ce
    {0x0000, "iretd/iretw"},                         // cf
    {0x4110, "rol|ror|rcl|rcr|shl|shr|sal|sar"},     // d0
    {0x41A0, "rol|ror|rcl|rcr|shl|shr|sal|sar"},     // d1
    {0x4110, "rol|ror|rcl|rcr|shl|shr|sal|sar"},     // d2
    {0x41A0, "rol|ror|rcl|rcr|shl|shr|sal|sar"},     // d3
    {0x8400, "aam"},                                 // d4
    {0x8400, "aad"},                                 // d5
    {0x8000, "salc"},                                // d6
    {0x8000, "xlatb"},                               // d7
    {0x0008, "add|mul|com|comp|sub|subr|div|divr"},  // d8
    {0x0008,
     "ld||st|stp|ldenv|ldcw|nstenv|nstcw|ld|xch|nop-||chs-abs---tst-xam|ld1-ldl2t-ldl2e-ldpi-ldlg2-"
     "ldln2-ldz|2xm1-yl2x-ptan-patan-xtract-prem1-decstp-incstp|prem-yl2xp1-sqrt-sincos-rndint-"
     "scale-sin-cos"},  // d9
    {0x0008,
     "iadd|imul|icom|icomp|isub|isubr|idiv|idivr|cmovb|cmove|cmovbe|cmovu||-ucompp||"},  // da
    {0x0008,
     "ild|isttp|ist|istp||ld||stp|cmovnb|cmovne|cmovnbe|cmovnu|--nclex-ninit|ucomi|comi|"},  // db
    {0x0008, "add|mul|com|comp|sub|subr|div|divr|add|mul|||subr|sub|divr|div"},              // dc
    {0x0008, "ld|isttp|st|stp|rstor||nsave|nstsw|free||st|stp|ucom|ucomp||"},                // dd
    {0x0008,
     "iadd|imul|icom|icomp|isub|isubr|idiv|idivr|addp|mulp||-compp|subrp|subp|divrp|divp"},  // de
    {0x0008, "ild|isttp|ist|istp|bld|ild|bstp|istp|||||nstsw  ax-|ucomip|comip|"},           // df
    {0x1400, "loopne"},                                                                      // e0
    {0x1400, "loope"},                                                                       // e1
    {0x1400, "loop"},                                                                        // e2
    {0x1400, "jecxz"},                                                                       // e3
    {0x8401, "in"},                                                                          // e4
    {0x8402, "in"},                                                                          // e5
    {0x0601, "out"},                                                                         // e6
    {0x0602, "out"},                                                                         // e7
    {0x1C00, "call"},                                                                        // e8
    {0x1C00, "jmp"},                                                                         // e9
    {0x0000, "jmp"},                                                                         // ea
    {0x1400, "jmp"},                                                                         // eb
    {0x8007, "in"},                                                                          // ec
    {0x8007, "in"},                                                                          // ed
    {0x0207, "out"},                                                                         // ee
    {0x0207, "out"},                                                                         // ef
    {0x0000, ""},                                                                            // f0
    {0x0000, "int1"},                                                                        // f1
    {0x0000, ""},                                                                            // f2
    {0x0000, ""},                                                                            // f3
    {0x0000, "hlt"},                                                                         // f4
    {0x0000, "cmc"},                                                                         // f5
    {0x0008, "test||not|neg|mul|imul|div|idiv"},                                             // f6
    {0x0008, "test||not|neg|mul|imul|div|idiv"},                                             // f7
    {0x0000, "clc"},                                                                         // f8
    {0x0000, "stc"},                                                                         // f9
    {0x0000, "cli"},                                                                         // fa
    {0x0000, "sti"},                                                                         // fb
    {0x0000, "cld"},                                                                         // fc
    {0x0000, "std"},                                                                         // fd
    {0x4110, "inc|dec|call|call|jmp|jmp|push"},                                              // fe
    {0x01A0, "inc|dec|call|call|jmp|jmp|push"},                                              // ff
};

// Two-byte opcodes 0x0F xx (0x0F 0x0F takes its name from the 3DNow! suffix).
constexpr Row kTwoByteRows[256] = {
    {0x0118, "sldt|str|lldt|ltr|verr|verw||"},                          // 00
    {0x0120, "sgdt|sidt|lgdt|lidt|smsw||lmsw|invlpg:||||smsw||lmsw|"},  // 01
    {0x201C, "lar"},                                                    // 02
    {0x201C, "lsl"},                                                    // 03
    {0xFFFF, ""},                                                       // 04
    {0xFFFF, ""},                                                       // 05
    {0x0000, "clts"},                                                   // 06
    {0xFFFF, ""},                                                       // 07
    {0x0000, "invd"},                                                   // 08
    {0x0000, "wbinvd"},                                                 // 09
    {0xFFFF, ""},                                                       // 0a
    {0xFFFF, ""},                                                       // 0b
    {0xFFFF, ""},                                                       // 0c
    {0x0120, "prefetch|prefetchw||||||"},                               // 0d
    {0x0000, "femms"},                                                  // 0e
    {0x042D, ""},                                                       // 0f
    {0x0077, "movups/movupd/movsd/movss"},                              // 10
    {0x0277, "movups/movupd/movsd/movss"},                              // 11
    {0x00B7, "movlPS:movhlps"},                                         // 12
    {0x02B7, "movlPS:movhlps"},                                         // 13
    {0x0037, "unpcklPS"},                                               // 14
    {0x0037, "unpckhPS"},                                               // 15
    {0x00B7, "movhPS:movlhps"},                                         // 16
    {0x02B7, "movhPS:movlhps"},                                         // 17
    {0x0120, "prefetchnta|prefetcht0|prefetcht1|prefetcht2||||"},       // 18
    {0xFFFF, ""},                                                       // 19
    {0xFFFF, ""},                                                       // 1a
    {0xFFFF, ""},                                                       // 1b
    {0xFFFF, ""},                                                       // 1c
    {0xFFFF, ""},                                                       // 1d
    {0x01A0, "nop"},                                                    // 1e
    {0x01A0, "nop"},                                                    // 1f
    {0x0223, "mov"},                                                    // 20
    {0x0223, "mov"},                                                    // 21
    {0x0023, "mov"},                                                    // 22
    {0x0023, "mov"},                                                    // 23
    {0xFFFF, ""},                                                       // 24
    {0xFFFF, ""},                                                       // 25
    {0xFFFF, ""},                                                       // 26
    {0xFFFF, ""},                                                       // 27
    {0x0037, "movaPS"},                                                 // 28
    {0x0237, "movaPS"},                                                 // 29
    {0x0037, "cvtpi2ps/cvtpi2pd/cvtsi2sd/cvtsi2ss"},                    // 2a
    {0x0237, "movntPS"},                                                // 2b
    {0x0075, "cvttps2pi/cvttpd2pi/cvttsd2si/cvttss2si"},                // 2c
    {0x0075, "cvtps2pi/cvtpd2pi/cvtsd2si/cvtss2si"},                    // 2d
    {0x0077, "ucomisS"},                                                // 2e
    {0x0077, "comisS"},                                                 // 2f
    {0x0000, "wrmsr"},                                                  // 30
    {0xA000, "rdtsc"},                                                  // 31
    {0xA000, "rdmsr"},                                                  // 32
    {0xA000, "rdpmc"},                                                  // 33
    {0x0000, "sysenter"},                                               // 34
    {0x0000, "sysexit"},                                                // 35
    {0xFFFF, ""},                                                       // 36
    {0xFFFF, ""},                                                       // 37
    {0xFFFF, ""},                                                       // 38
    {0xFFFF, ""},                                                       // 39
    {0xFFFF, ""},                                                       // 3a
    {0xFFFF, ""},                                                       // 3b
    {0xFFFF, ""},                                                       // 3c
    {0xFFFF, ""},                                                       // 3d
    {0xFFFF, ""},                                                       // 3e
    {0xFFFF, ""},                                                       // 3f
    {0x20E4, "cmov%cc"},                                                // 40
    {0x20E4, "cmov%cc"},                                                // 41
    {0x20E4, "cmov%cc"},                                                // 42
    {0x20E4, "cmov%cc"},                                                // 43
    {0x20E4, "cmov%cc"},                                                // 44
    {0x20E4, "cmov%cc"},                                                // 45
    {0x20E4, "cmov%cc"},                                                // 46
    {0x20E4, "cmov%cc"},                                                // 47
    {0x20E4, "cmov%cc"},                                                // 48
    {0x20E4, "cmov%cc"},                                                // 49
    {0x20E4, "cmov%cc"},                                                // 4a
    {0x20E4, "cmov%cc"},                                                // 4b
    {0x20E4, "cmov%cc"},                                                // 4c
    {0x20E4, "cmov%cc"},                                                // 4d
    {0x20E4, "cmov%cc"},                                                // 4e
    {0x20E4, "cmov%cc"},                                                // 4f
    {0x2034, "movmskPS"},                                               // 50
    {0x0077, "sqrtPS"},                                                 // 51
    {0x0077, "rsqrtPS"},                                                // 52
    {0x0077, "rcpPS"},                                                  // 53
    {0x0037, "andPS"},                                                  // 54
    {0x0037, "andnPS"},                                                 // 55
    {0x0037, "orPS"},                                                   // 56
    {0x0037, "xorPS"},                                                  // 57
    {0x0077, "addPS"},                                                  // 58
    {0x0077, "mulPS"},                                                  // 59
    {0x0077, "cvtps2pd/cvtpd2ps/cvtsd2ss/cvtss2sd"},                    // 5a
    {0x0037, "cvtdq2ps/cvtps2dq//cvttps2dq"},                           // 5b
    {0x0077, "subPS"},                                                  // 5c
    {0x0077, "minPS"},                                                  // 5d
    {0x0077, "divPS"},                                                  // 5e
    {0x0077, "maxPS"},                                                  // 5f
    {0x002D, "punpcklbw"},                                              // 60
    {0x002D, "punpcklwd"},                                              // 61
    {0x002D, "punpckldq"},                                              // 62
    {0x002D, "packsswb"},                                               // 63
    {0x002D, "pcmpgtb"},                                                // 64
    {0x002D, "pcmpgtw"},                                                // 65
    {0x002D, "pcmpgtd"},                                                // 66
    {0x002D, "packuswb"},                                               // 67
    {0x002D, "punpckhbw"},                                              // 68
    {0x002D, "punpckhwd"},                                              // 69
    {0x002D, "punpckhdq"},                                              // 6a
    {0x002D, "packssdw"},                                               // 6b
    {0x002D, "/punpcklqdq"},                                            // 6c
    {0x002D, "/punpckhqdq"},                                            // 6d
    {0x00E5, "movd///movq"},                                            // 6e
    {0x002D, "movq/movdqa//movdqu"},                                    // 6f
    {0x042D, "pshufw/pshufd/pshuflw/pshufhw"},                          // 70
    {0x0528, "||psrlw||psraw||psllw|"},                                 // 71
    {0x0528, "||psrld||psrad||pslld|"},                                 // 72
    {0x0528, "||psrlq|psrldq|||psllq|pslldq"},                          // 73
    {0x002D, "pcmpeqb"},                                                // 74
    {0x002D, "pcmpeqw"},                                                // 75
    {0x002D, "pcmpeqd"},                                                // 76
    {0x0000, "emms"},                                                   // 77
    {0xFFFF, ""},                                                       // 78
    {0xFFFF, ""},                                                       // 79
    {0xFFFF, ""},                                                       // 7a
    {0xFFFF, ""},                                                       // 7b
    {0x0037, "/haddpd/haddps"},                                         // 7c
    {0x0037, "/hsubpd/hsubps"},                                         // 7d
    {0x02E5, "movd///movq"},                                            // 7e
    {0x022D, "movq/movdqa//movdqu"},                                    // 7f
    {0x1C00, "j%cc"},                                                   // 80
    {0x1C00, "j%cc"},                                                   // 81
    {0x1C00, "j%cc"},                                                   // 82
    {0x1C00, "j%cc"},                                                   // 83
    {0x1C00, "j%cc"},                                                   // 84
    {0x1C00, "j%cc"},                                                   // 85
    {0x1C00, "j%cc"},                                                   // 86
    {0x1C00, "j%cc"},                                                   // 87
    {0x1C00, "j%cc"},                                                   // 88
    {0x1C00, "j%cc"},                                                   // 89
    {0x1C00, "j%cc"},                                                   // 8a
    {0x1C00, "j%cc"},                                                   // 8b
    {0x1C00, "j%cc"},                                                   // 8c
    {0x1C00, "j%cc"},                                                   // 8d
    {0x1C00, "j%cc"},                                                   // 8e
    {0x1C00, "j%cc"},                                                   // 8f
    {0x4110, "set%cc"},                                                 // 90
    {0x4110, "set%cc"},                                                 // 91
    {0x4110, "set%cc"},                                                 // 92
    {0x4110, "set%cc"},                                                 // 93
    {0x4110, "set%cc"},                                                 // 94
    {0x4110, "set%cc"},                                                 // 95
    {0x4110, "set%cc"},                                                 // 96
    {0x4110, "set%cc"},                                                 // 97
    {0x4110, "set%cc"},                                                 // 98
    {0x4110, "set%cc"},                                                 // 99
    {0x4110, "set%cc"},                                                 // 9a
    {0x4110, "set%cc"},                                                 // 9b
    {0x4110, "set%cc"},                                                 // 9c
    {0x4110, "set%cc"},                                                 // 9d
    {0x4110, "set%cc"},                                                 // 9e
    {0x4110, "set%cc"},                                                 // 9f
    {0x0000, "push    %seg"},                                           // a0
    {0x0000, "pop     %seg"},                                           // a1
    {0xC000, "cpuid"},                                                  // a2
    {0x02E4, "bt"},                                                     // a3
    {0x47E4, "shld"},                                                   // a4
    {0x43E4, "shld"},                                                   // a5
    {0xFFFF, ""},                                                       // a6
    {0xFFFF, ""},                                                       // a7
    {0x0000, "push    %seg"},                                           // a8
    {0x0000, "pop     %seg"},                                           // a9
    {0xFFFF, ""},                                                       // aa
    {0x42E4, "bts"},                                                    // ab
    {0x47E4, "shrd"},                                                   // ac
    {0x43E4, "shrd"},                                                   // ad
    {0x0120,
     "fxsave|fxrstor|ldmxcsr|stmxcsr|xsave|xrstor|xsaveopt|clflush:|||||lfence|mfence|"
     "sfence"},                                        // ae
    {0x20E4, "imul"},                                  // af
    {0x4211, "cmpxchg"},                               // b0
    {0x42E4, "cmpxchg"},                               // b1
    {0x2024, "lss"},                                   // b2
    {0x42E4, "btr"},                                   // b3
    {0x2024, "lfs"},                                   // b4
    {0x2024, "lgs"},                                   // b5
    {0x2154, "movzx"},                                 // b6
    {0x215C, "movzx"},                                 // b7
    {0xFFFF, ""},                                      // b8
    {0xFFFF, ""},                                      // b9
    {0x45A0, "||||bt|bts|btr|btc"},                    // ba
    {0x42E4, "btc"},                                   // bb
    {0x20E4, "bsf"},                                   // bc
    {0x20E4, "bsr"},                                   // bd
    {0x2154, "movsx"},                                 // be
    {0x215C, "movsx"},                                 // bf
    {0x4211, "xadd"},                                  // c0
    {0x42E4, "xadd"},                                  // c1
    {0x0477, "cmpPS"},                                 // c2
    {0x02E4, "movnti"},                                // c3
    {0x041D, "pinsrw"},                                // c4
    {0x242C, "pextrw"},                                // c5
    {0x0437, "shufPS"},                                // c6
    {0xA128, "|cmpxchg8b||||||:||||||rdrand|rdseed"},  // c7
    {0x6045, "bswap"},                                 // c8
    {0x6045, "bswap"},                                 // c9
    {0x6045, "bswap"},                                 // ca
    {0x6045, "bswap"},                                 // cb
    {0x6045, "bswap"},                                 // cc
    {0x6045, "bswap"},                                 // cd
    {0x6045, "bswap"},                                 // ce
    {0x6045, "bswap"},                                 // cf
    {0x0037, "/addsubpd/addsubps"},                    // d0
    {0x002D, "psrlw"},                                 // d1
    {0x002D, "psrld"},                                 // d2
    {0x002D, "psrlq"},                                 // d3
    {0x002D, "paddq"},                                 // d4
    {0x002D, "pmullw"},                                // d5
    {0x022D, "/movq/movdq2q/movq2dq"},                 // d6
    {0x202C, "pmovmskb"},                              // d7
    {0x002D, "psubusb"},                               // d8
    {0x002D, "psubusw"},                               // d9
    {0x002D, "pminub"},                                // da
    {0x002D, "pand"},                                  // db
    {0x002D, "paddusb"},                               // dc
    {0x002D, "paddusw"},                               // dd
    {0x002D, "pmaxub"},                                // de
    {0x002D, "pandn"},                                 // df
    {0x002D, "pavgb"},                                 // e0
    {0x002D, "psraw"},                                 // e1
    {0x002D, "psrad"},                                 // e2
    {0x002D, "pavgw"},                                 // e3
    {0x002D, "pmulhuw"},                               // e4
    {0x002D, "pmulhw"},                                // e5
    {0x0037, "/cvttpd2dq/cvtpd2dq/cvtdq2pd"},          // e6
    {0x022D, "movntq/movntdq"},                        // e7
    {0x002D, "psubsb"},                                // e8
    {0x002D, "psubsw"},                                // e9
    {0x002D, "pminsw"},                                // ea
    {0x002D, "por"},                                   // eb
    {0x002D, "paddsb"},                                // ec
    {0x002D, "paddsw"},                                // ed
    {0x002D, "pmaxsw"},                                // ee
    {0x002D, "pxor"},                                  // ef
    {0x0037, "//lddqu"},                               // f0
    {0x002D, "psllw"},                                 // f1
    {0x002D, "pslld"},                                 // f2
    {0x002D, "psllq"},                                 // f3
    {0x002D, "pmuludq"},                               // f4
    {0x002D, "pmaddwd"},                               // f5
    {0x002D, "psadbw"},                                // f6
    {0x002D, "maskmovq/maskmovdqu"},                   // f7
    {0x002D, "psubb"},                                 // f8
    {0x002D, "psubw"},                                 // f9
    {0x002D, "psubd"},                                 // fa
    {0x002D, "psubq"},                                 // fb
    {0x002D, "paddb"},                                 // fc
    {0x002D, "paddw"},                                 // fd
    {0x002D, "paddd"},                                 // fe
    {0xFFFF, ""},                                      // ff
};

// Index of name in kNames; a name missing from the list stops the compilation.
constexpr uint8_t IndexOf(std::string_view name) {
  if (name.empty()) return 0;
  for (int i = 1; i <= kMnemonicCount; ++i) {
    if (kNames[i] == name) return static_cast<uint8_t>(i);
  }
  throw "mnemonic missing from the list";
}

constexpr std::array<uint16_t, 256> FlagsOf(const Row (&rows)[256]) {
  std::array<uint16_t, 256> flags{};
  for (int i = 0; i < 256; ++i)
    flags[i] = rows[i].flags;
  return flags;
}

constexpr std::array<uint8_t, 256> IndexesOf(const Row (&rows)[256]) {
  std::array<uint8_t, 256> indexes{};
  for (int i = 0; i < 256; ++i)
    indexes[i] = IndexOf(rows[i].name);
  return indexes;
}

constexpr size_t JoinedSize() {
  size_t size = 0;
  for (int i = 1; i <= kMnemonicCount; ++i)
    size += kNames[i].size() + 1;
  return size;
}

constexpr std::array<char, JoinedSize()> Joined() {
  std::array<char, JoinedSize()> text{};
  size_t at = 0;
  for (int i = 1; i <= kMnemonicCount; ++i) {
    for (char c : kNames[i])
      text[at++] = c;
    text[at++] = '\0';
  }
  return text;
}

constexpr auto kJoinedNames = Joined();

// Names at fixed indexes that other code and readers rely on.
static_assert(IndexOf("aaa") == 1 && IndexOf("add") == 6 && IndexOf("call") == 19);

// The 3DNow! suffix list: zero byte, suffix byte, name, NUL.
constexpr char k3DNowText[] =
    "\0\x0C"
    "pi2fw\0"
    "\0\x0D"
    "pi2fd\0"
    "\0\x1C"
    "pf2iw\0"
    "\0\x1D"
    "pf2id\0"
    "\0\x8A"
    "pfnacc\0"
    "\0\x8E"
    "pfpnacc\0"
    "\0\x90"
    "pfcmpge\0"
    "\0\x94"
    "pfmin\0"
    "\0\x96"
    "pfrcp\0"
    "\0\x97"
    "pfrsqrt\0"
    "\0\x9A"
    "pfsub\0"
    "\0\x9E"
    "pfadd\0"
    "\0\xA0"
    "pfcmpgt\0"
    "\0\xA4"
    "pfmax\0"
    "\0\xA6"
    "pfrcpit1\0"
    "\0\xA7"
    "pfrsqit1\0"
    "\0\xAA"
    "pfsubr\0"
    "\0\xAE"
    "pfacc\0"
    "\0\xB0"
    "pfcmpeq\0"
    "\0\xB4"
    "pfmul\0"
    "\0\xB6"
    "pfrcpit2\0"
    "\0\xB7"
    "pmulhrw\0"
    "\0\xBB"
    "pswapd\0"
    "\0\xBF"
    "pavgusb\0";

}  // namespace

const std::array<uint16_t, 256> kOneByteFlags = FlagsOf(kOneByteRows);
const std::array<uint16_t, 256> kTwoByteFlags = FlagsOf(kTwoByteRows);
constinit const std::array<uint8_t, 256> kOneByteMnemonic = IndexesOf(kOneByteRows);
constinit const std::array<uint8_t, 256> kTwoByteMnemonic = IndexesOf(kTwoByteRows);
const std::string_view kMnemonicList(kJoinedNames.data(), kJoinedNames.size());
const std::string_view k3DNowSuffixes(k3DNowText, sizeof(k3DNowText) - 1);

// Memory forms by reg field, then register forms (mod 3) by reg field. Memory sizes:
// 0x0110 byte, 0x0118 word, 0x01E0 dword, 0x0128 qword, 0x0160 tbyte, 0x0120 unsized.
// Register forms: 0x0106 "st, st(i)", 0x0306 "st(i), st", 0x0120 "st(i)", 0x0100 none.
const std::array<GroupRow, 10> kGroupTable = {{
    // test imm, -, not, neg, mul, imul, div, idiv (byte)
    {0xF6,
     {0x0510, 0xFFFF, 0x4110, 0x4110, 0x8110, 0x8110, 0x8110, 0x8110,  //
      0x0510, 0xFFFF, 0x4110, 0x4110, 0x8110, 0x8110, 0x8110, 0x8110}},
    // the same on operand size; mul and div change eax and edx
    {0xF7,
     {0x0DA0, 0xFFFF, 0x41A0, 0x41A0, 0xA1A0, 0xA1A0, 0xA1A0, 0xA1A0,  //
      0x0DA0, 0xFFFF, 0x41A0, 0x41A0, 0xA1A0, 0xA1A0, 0xA1A0, 0xA1A0}},
    // fadd .. fdivr m32real; fadd st, st(i), fcom st(i), ...
    {0xD8,
     {0x01E0, 0x01E0, 0x01E0, 0x01E0, 0x01E0, 0x01E0, 0x01E0, 0x01E0,  //
      0x0106, 0x0106, 0x0120, 0x0120, 0x0106, 0x0106, 0x0106, 0x0106}},
    // fld, -, fst, fstp m32real, fldenv, fldcw, fnstenv, fnstcw; fld, fxch, fnop, -, ...
    {0xD9,
     {0x01E0, 0xFFFF, 0x01E0, 0x01E0, 0x0120, 0x0118, 0x0120, 0x0118,  //
      0x0120, 0x0120, 0x0100, 0xFFFF, 0x0100, 0x0100, 0x0100, 0x0100}},
    // fiadd .. fidivr m32int; fcmovb, fcmove, fcmovbe, fcmovu, -, fucompp, -, -
    {0xDA,
     {0x01E0, 0x01E0, 0x01E0, 0x01E0, 0x01E0, 0x01E0, 0x01E0, 0x01E0,  //
      0x0106, 0x0106, 0x0106, 0x0106, 0xFFFF, 0x0100, 0xFFFF, 0xFFFF}},
    // fild, fisttp, fist, fistp m32int, -, fld m80, -, fstp m80; fcmovnb .., fucomi, fcomi
    {0xDB,
     {0x01E0, 0x01E0, 0x01E0, 0x01E0, 0xFFFF, 0x0160, 0xFFFF, 0x0160,  //
      0x0106, 0x0106, 0x0106, 0x0106, 0x0100, 0x0106, 0x0106, 0xFFFF}},
    // fadd .. fdivr m64real; fadd st(i), st, fmul, -, -, fsubr, fsub, fdivr, fdiv
    {0xDC,
     {0x0128, 0x0128, 0x0128, 0x0128, 0x0128, 0x0128, 0x0128, 0x0128,  //
      0x0306, 0x0306, 0xFFFF, 0xFFFF, 0x0306, 0x0306, 0x0306, 0x0306}},
    // fld, fisttp, fst, fstp m64, frstor, -, fnsave, fnstsw m16; ffree, -, fst, fstp, fucom, fucomp
    {0xDD,
     {0x0128, 0x0128, 0x0128, 0x0128, 0x0120, 0xFFFF, 0x0120, 0x0118,  //
      0x0120, 0xFFFF, 0x0120, 0x0120, 0x0120, 0x0120, 0xFFFF, 0xFFFF}},
    // fiadd .. fidivr m16int; faddp st(i), st, fmulp, -, fcompp, fsubrp, fsubp, fdivrp, fdivp
    {0xDE,
     {0x0118, 0x0118, 0x0118, 0x0118, 0x0118, 0x0118, 0x0118, 0x0118,  //
      0x0306, 0x0306, 0xFFFF, 0x0100, 0x0306, 0x0306, 0x0306, 0x0306}},
    // fild, fisttp, fist, fistp m16int, fbld m80, fild m64, fbstp m80, fistp m64;
    // -, -, -, -, fnstsw ax, fucomip, fcomip, -
    {0xDF,
     {0x0118, 0x0118, 0x0118, 0x0118, 0x0160, 0x0128, 0x0160, 0x0128,  //
      0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0x0100, 0x0106, 0x0106, 0xFFFF}},
}};

std::string_view MnemonicName(int index) {
  if (index < 1 || index > kMnemonicCount) return {};
  return kNames[index];
}

uint16_t GroupFlags(uint8_t opcode, int reg, bool register_form) {
  int row;
  if (opcode == 0xF6) {
    row = 0;
  } else if (opcode == 0xF7) {
    row = 1;
  } else if (opcode >= 0xD8 && opcode <= 0xDF) {
    row = 2 + (opcode - 0xD8);
  } else {
    return kInvalid;
  }
  return kGroupTable[row].flags[(register_form ? 8 : 0) + (reg & 7)];
}

std::string_view ThreeDNowName(uint8_t suffix) {
  const std::string_view list = k3DNowSuffixes;
  size_t at = 0;
  while (at + 2 < list.size()) {
    const size_t end = list.find('\0', at + 2);
    if (end == std::string_view::npos) break;
    if (static_cast<uint8_t>(list[at + 1]) == suffix) return list.substr(at + 2, end - at - 2);
    at = end + 1;
  }
  return {};
}

}  // namespace trace::x86
