#!/usr/bin/perl
# Writes a students.dbf roster to standard output, laid out at the fixed
# positions the client and the exam server read: a 456-byte header with the
# record count at offset 4, then one 92-byte record a student (the deletion
# mark, four bytes, the name in code page 1251).
#   perl make_roster.pl NAME...     (UTF-8; a leading * marks the record deleted)
use strict;
use warnings;
use Encode qw(encode decode);

my $table = "\x03\x7a\x0c\x07" . pack("V", scalar @ARGV);
$table .= "\0" x (456 - length $table);
for my $arg (@ARGV) {
    my $name = decode("UTF-8", $arg);
    my $mark = $name =~ s/^\*// ? "*" : " ";
    my $record = $mark . "\0\0\0\0" . encode("cp1251", $name);
    die "make_roster.pl: name too long: $arg\n" if length $record > 92;
    $table .= $record . "\0" x (92 - length $record);
}
binmode STDOUT;
print $table;
