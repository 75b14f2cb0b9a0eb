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

# C0:02h SysEnqIntRP(priority, entry): the BIOS calls entry's handler at every interrupt.
    .globl bios_SysEnqIntRP
bios_SysEnqIntRP:
    li      $t2, 0xC0
    jr      $t2
    li      $t1, 0x02

# Interrupts on at the processor: IEc and the interrupt controller's line (IM2).
    .globl cpu_enable_interrupts
cpu_enable_interrupts:
    mfc0    $t0, $12
    nop
    ori     $t0, $t0, 0x0401
    mtc0    $t0, $12
    jr      $ra
    nop
