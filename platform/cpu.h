// What the processor offers beyond its base instruction set, as the system reports it.
#pragma once

/// ARMv8's CRC32 instructions; false on other processors.
bool CpuHasArmCrc32();
/// ARMv8's 64-bit polynomial multiply (PMULL); false on other processors.
bool CpuHasArmPmull();
