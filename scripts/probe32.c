/* Exits 0 only when this host runs 32-bit x86 user code natively: a far call into the 32-bit user
 * code segment (selector 0x23) that comes back. A kernel without 32-bit support kills the process
 * with a signal instead; an emulator registered for i386 programs cannot answer for it, since this
 * program is itself a 64-bit one. Built with -no-pie so that code, data and the small stack lie
 * below 4 GiB, where 32-bit code can reach them. */
static unsigned char stack32[4096] __attribute__((aligned(16)));
unsigned long kc_saved_rsp;
unsigned char *kc_stack32_top = stack32 + sizeof stack32;

__asm__(".pushsection .data\n"
        "kc_farptr: .long kc_code32\n"
        "           .word 0x23\n"
        ".popsection\n"
        ".pushsection .text\n"
        ".code32\n"
        "kc_code32: movl $42, %eax\n"
        "           lret\n"
        ".code64\n"
        ".popsection\n");

int main(void)
{
    int result;
    /* 32-bit code sees only the low half of RSP, so it runs on a stack below 4 GiB. */
    __asm__ volatile("mov %%rsp, kc_saved_rsp(%%rip)\n\t"
                     "mov kc_stack32_top(%%rip), %%rsp\n\t"
                     "lcall *kc_farptr(%%rip)\n\t"
                     "mov kc_saved_rsp(%%rip), %%rsp\n\t"
                     : "=a"(result)
                     :
                     : "rbx", "rcx", "rdx", "rsi", "rdi", "r8", "r9", "r10", "r11", "r12", "r13",
                       "r14", "r15", "memory", "cc");
    return result == 42 ? 0 : 1;
}
