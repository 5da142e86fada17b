/*
 * What a 32-bit x86 Linux signal frame says about processor exceptions:
 * for each fault it prints the signal, si_code, sigcontext trapno and err,
 * cr2 (page faults), si_addr and eip (named relative to the faulting
 * instruction), and whether trapno and err are what the Linux kernel writes
 * for that exception ("ok") or not ("WRONG"). Built freestanding (no libc,
 * system calls through int $0x80) so that any x86-64 gcc can build it with
 * -m32; scripts/qemu/check-signal-frames runs it natively and under qemu-i386.
 */
typedef unsigned int u32;

enum { NR_exit = 1, NR_write = 4, NR_rt_sigreturn = 173, NR_rt_sigaction = 174, NR_mmap2 = 192 };
enum { SIGILL = 4, SIGTRAP = 5, SIGBUS = 7, SIGFPE = 8, SIGSEGV = 11 };
enum { SA_SIGINFO = 4, SA_NODEFER = 0x40000000, SA_RESTORER = 0x04000000 };
/* ucontext_t on i386: uc_flags, uc_link, uc_stack (12 bytes), then the
 * mcontext's 19 general registers, fpregs, oldmask, cr2. */
enum { UC_GREGS = 20, REG_ESP = 7, REG_TRAPNO = 12, REG_ERR = 13, REG_EIP = 14, REG_EFL = 16,
       UC_CR2 = 20 + 19 * 4 + 8 };

static long sys(long n, long a, long b, long c, long d, long e, long f)
{
    long r;
    __asm__ volatile("push %%ebp\n\tmov %7, %%ebp\n\tint $0x80\n\tpop %%ebp"
                     : "=a"(r)
                     : "a"(n), "b"(a), "c"(b), "d"(c), "S"(d), "D"(e), "m"(f)
                     : "memory");
    return r;
}

static void put(const char *s)
{
    long n = 0;
    while (s[n]) n++;
    sys(NR_write, 1, (long)s, n, 0, 0, 0);
}

static void put_hex(u32 v)
{
    char b[11] = "0x";
    int i, n = 2, started = 0;
    for (i = 28; i >= 0; i -= 4) {
        u32 d = (v >> i) & 15;
        if (d || started || i == 0) {
            b[n++] = "0123456789abcdef"[d];
            started = 1;
        }
    }
    b[n] = 0;
    put(b);
}

static void put_dec(u32 v)
{
    char b[12];
    int n = 11;
    b[n] = 0;
    do { b[--n] = '0' + v % 10; v /= 10; } while (v);
    put(b + n);
}

/* The page a case touches, if any. */
static volatile u32 page_at;

/* An address named relative to the faulting instruction or the case's page,
 * so that runs with different address-space layouts compare. */
static void put_where(u32 v, u32 insn)
{
    if (v == insn) put("insn");
    else if (page_at && v == page_at) put("page");
    else if (v > insn && v - insn < 16) { put("insn+"); put_dec(v - insn); }
    else put_hex(v);
}

/* Set by each case before it faults. */
volatile u32 resume_at, fault_at;
static volatile u32 want_trapno, want_err, page_fault;
static volatile int hits, wrong;

static void handler(int sig, u32 *si, char *uc)
{
    u32 *gregs = (u32 *)(uc + UC_GREGS);
    u32 trapno = gregs[REG_TRAPNO], err = gregs[REG_ERR];
    hits++;
    put(" sig="); put_dec(sig);
    put(" code="); put_hex(si[2]);
    put(" trapno="); put_dec(trapno);
    put(" err="); put_hex(err);
    if (page_fault) { put(" cr2="); put_where(*(u32 *)(uc + UC_CR2), fault_at); }
    put(" si_addr="); put_where(si[3], fault_at);
    put(" eip="); put_where(gregs[REG_EIP], fault_at);
    if (trapno == want_trapno && err == want_err) {
        put(" ok\n");
    } else {
        put(" WRONG\n");
        wrong++;
    }
    gregs[REG_EIP] = resume_at;
    gregs[REG_EFL] &= ~0x100u; /* single-step off */
}

extern void restorer(void);
__asm__(".text\nrestorer:\n\tmovl $173, %eax\n\tint $0x80\n");

static void on(int sig)
{
    struct { void *h; u32 flags; void *restorer; u32 mask[2]; } sa = {
        (void *)handler, SA_SIGINFO | SA_NODEFER | SA_RESTORER, (void *)restorer, {0, 0}};
    sys(NR_rt_sigaction, sig, (long)&sa, 0, 8, 0, 0);
}

static void expect(const char *name, u32 trapno, u32 err, int pf, const void *page)
{
    put(name);
    page_at = (u32)page;
    want_trapno = trapno;
    want_err = err;
    page_fault = pf;
}

/* Each case: note where it resumes (1:) and which instruction faults (2:). */
#define FAULT(setup, insn, after, ...)                                             \
    __asm__ volatile("movl $1f, resume_at\n\tmovl $2f, fault_at\n\t" setup          \
                     "2: " insn "\n\t1: " after                                     \
                     : : __VA_ARGS__ : "eax", "ecx", "edx", "cc", "memory")

void _start(void)
{
    int before;
    char *ro, *nx;
    on(SIGSEGV); on(SIGBUS); on(SIGFPE); on(SIGILL); on(SIGTRAP);
    /* PROT_READ, MAP_PRIVATE|MAP_ANONYMOUS */
    ro = (char *)sys(NR_mmap2, 0, 4096, 1, 0x22, -1, 0);
    /* PROT_READ|PROT_WRITE: data, not code */
    nx = (char *)sys(NR_mmap2, 0, 4096, 3, 0x22, -1, 0);
    nx[0] = (char)0xc3; /* ret */
    /* Read once, so that the page is present as natively: a write to it then
     * has the present bit in its error code. */
    if (*(volatile char *)ro) sys(NR_exit, 2, 0, 0, 0, 0, 0);

    /* Page faults: err bit 0 present, 1 write, 2 user, 4 instruction fetch. */
    expect("read-null", 14, 0x4, 1, 0);
    FAULT("", "movl 0, %%eax", "", "i"(0));
    expect("write-0x10", 14, 0x6, 1, 0);
    FAULT("", "movl $1, 0x10", "", "i"(0));
    expect("write-readonly", 14, 0x7, 1, ro);
    FAULT("movl %0, %%ecx\n\t", "movl $1, (%%ecx)", "", "r"(ro));
    expect("call-null", 14, 0x14, 1, 0);
    FAULT("xorl %%eax, %%eax\n\t", "call *%%eax", "addl $4, %%esp", "i"(0));
    expect("exec-nx", 14, 0x15, 1, nx);
    FAULT("movl %0, %%eax\n\t", "call *%%eax", "addl $4, %%esp", "r"(nx));
    /* Other exceptions: Linux writes their vector and error code. */
    expect("divide", 0, 0, 0, 0);
    FAULT("xorl %%ecx, %%ecx\n\tmovl $1, %%eax\n\tcltd\n\t", "idivl %%ecx", "", "i"(0));
    expect("int3", 3, 0, 0, 0);
    FAULT("", "int3", "", "i"(0));
    expect("ud2", 6, 0, 0, 0);
    FAULT("", "ud2", "", "i"(0));
    expect("hlt", 13, 0, 0, 0);
    FAULT("", "hlt", "", "i"(0));
    expect("int-0x2d", 13, 0x2d * 8 + 2, 0, 0);
    FAULT("", "int $0x2d", "", "i"(0));
    expect("into", 4, 0, 0, 0);
    FAULT("movl $0x7fffffff, %%eax\n\taddl $1, %%eax\n\t", "into", "", "i"(0));
    expect("single-step", 1, 0, 0, 0);
    FAULT("pushfl\n\torl $0x100, (%%esp)\n\tpopfl\n\t", "nop", "nop", "i"(0));
    /* A later fault after all of these: the record is the new one. */
    expect("read-null-again", 14, 0x4, 1, 0);
    before = hits;
    FAULT("", "movl 0, %%eax", "", "i"(0));
    if (hits != before + 1) put(" (no signal)\n");
    sys(NR_exit, hits == 13 && !wrong ? 0 : 1, 0, 0, 0, 0, 0);
    for (;;) {}
}
