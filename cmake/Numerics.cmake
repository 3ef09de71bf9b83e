# Floating-point rules that keep results identical across machines and builds:
# no fused multiply-add contraction, no fast-math, no host-specific instruction sets.
add_compile_options(-ffp-contract=off -fno-fast-math)
