# Start-up: the boot loader has set the stack from the executable's header; clear .bss, run
# main, and park the processor when it returns (there is nothing to return to). The CD audio
# disc boots the same image at _start_cd, which only sets cdRun (in .data, so the clearing of
# .bss keeps it) first.
    .set noreorder
    .section .text.start, "ax"
    .globl _start_cd
_start_cd:
    la      $t0, cdRun
    li      $t1, 1
    sw      $t1, 0($t0)
    .globl _start
_start:
    la      $t0, __bss_start
    la      $t1, __bss_end
1:  beq     $t0, $t1, 2f
    nop
    sw      $zero, 0($t0)
    b       1b
    addiu   $t0, $t0, 4
2:  jal     main
    nop
3:  b       3b
    nop

# The BIOS function tables: jump to 0xA0 or 0xB0 with the function number in $t1. The HLE BIOS
# of the host traps these addresses, so the calls work without a real BIOS image.
    .text
    .globl bios_printf
bios_printf:
    li      $t2, 0xA0
    jr      $t2
    li      $t1, 0x3F

    .globl bios_putchar
bios_putchar:
    li      $t2, 0xB0
    jr      $t2
    li      $t1, 0x3D

# The interrupt hook: B0:19h HookEntryInt(buffer) makes the BIOS's interrupt exit resume at
# buffer[0] with sp, fp, s0-s7 and gp from buffer[1..11]; there irq_handler runs, and B0:17h
# ReturnFromException returns to the interrupted code. irq_hook_install(buffer, stack top).
    .globl irq_hook_install
irq_hook_install:
    la      $t0, irq_trampoline
    sw      $t0, 0($a0)
    sw      $a1, 4($a0)
    sw      $fp, 8($a0)
    sw      $s0, 12($a0)
    sw      $s1, 16($a0)
    sw      $s2, 20($a0)
    sw      $s3, 24($a0)
    sw      $s4, 28($a0)
    sw      $s5, 32($a0)
    sw      $s6, 36($a0)
    sw      $s7, 40($a0)
    sw      $gp, 44($a0)
    li      $t2, 0xB0
    jr      $t2
    li      $t1, 0x19
irq_trampoline:
    jal     irq_handler
    nop
    li      $t2, 0xB0
    jr      $t2
    li      $t1, 0x17

# Interrupts on at the processor: IEc and the interrupt controller's line (IM2).
    .globl cpu_enable_interrupts
cpu_enable_interrupts:
    mfc0    $t0, $12
    nop
    ori     $t0, $t0, 0x0401
    mtc0    $t0, $12
    jr      $ra
    nop
