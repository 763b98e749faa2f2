/* Does this host run 32-bit x86 user programs? A far call into the 32-bit user code segment
 * (selector 0x23) whose code makes one i386 system call (getpid through int $0x80) and returns.
 * Exit 0: it came back with this process's id, as the 64-bit getpid gives it. Exit 3: it came
 * back without it (a kernel that keeps the 32-bit code segment but serves no i386 system calls).
 * A kernel without the 32-bit code segment, or without the int $0x80 gate, kills the process with
 * a signal instead. Any other exit means the probe did not run. An emulator registered for i386
 * programs cannot answer for it, since this program is itself a 64-bit one. Built with -no-pie
 * so that code, data and the small stack lie below 4 GiB, where 32-bit code can reach them. */
#include <unistd.h>

static unsigned char stack32[4096] __attribute__((aligned(16)));
unsigned long kc_saved_rsp;
unsigned char *kc_stack32_top = stack32 + sizeof stack32;

__asm__(".pushsection .data\n"
        "kc_farptr: .long kc_code32\n"
        "           .word 0x23\n"
        ".popsection\n"
        ".pushsection .text\n"
        ".code32\n"
        "kc_code32: movl $20, %eax\n" /* getpid in the i386 table */
        "           int $0x80\n"
        "           lret\n"
        ".code64\n"
        ".popsection\n");

int main(void)
{
    long result;
    /* 32-bit code sees only the low half of RSP, so it runs on a stack below 4 GiB. */
    __asm__ volatile("mov %%rsp, kc_saved_rsp(%%rip)\n\t"
                     "mov kc_stack32_top(%%rip), %%rsp\n\t"
                     "lcall *kc_farptr(%%rip)\n\t"
                     "mov kc_saved_rsp(%%rip), %%rsp\n\t"
                     : "=a"(result)
                     :
                     : "rbx", "rcx", "rdx", "rsi", "rdi", "r8", "r9", "r10", "r11", "r12", "r13",
                       "r14", "r15", "memory", "cc");
    return (unsigned int)result == (unsigned int)getpid() ? 0 : 3;
}
