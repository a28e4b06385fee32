%templatetype MorvexFylatek.Library
%-- Type names of the columns for the bundled templates. Each function receives the type code
%-- of a column ({column.type}) and, where the type needs them, its length and precision.

%function SqliteType t
%begin
%if {t} == 0
%begin
%return INTEGER
%end
%if {t} == 1
%begin
%return NUMERIC
%end
%if {t} == 7
%begin
%return INTEGER
%end
%return TEXT
%end

%function PgType t, l, p
%begin
%if {t} == 0
%begin
%if {l} > 9
%begin
%return bigint
%end
%return integer
%end
%if {t} == 1
%begin
% total = l + p
%return numeric({total}, {p})
%end
%if {t} == 2
%begin
%return date
%end
%if {t} == 3
%begin
%return timestamp
%end
%if {t} == 4
%begin
%return char({l})
%end
%if {t} == 5
%begin
%return varchar({l})
%end
%if {t} == 7
%begin
%return boolean
%end
%return text
%end

%-- An integer column wider than 9 digits may pass 32 bits: bigint (PgType does the same).
%function MssqlIntegerType l
%begin
%if {l} > 9
%begin
%return bigint
%end
%return int
%end

%function TypeName t
%begin
%if {t} == 0
%begin
%return Integer
%end
%if {t} == 1
%begin
%return Decimal
%end
%if {t} == 2
%begin
%return Date
%end
%if {t} == 3
%begin
%return Datetime
%end
%if {t} == 4
%begin
%return FixedChar
%end
%if {t} == 5
%begin
%return VariableChar
%end
%if {t} == 6
%begin
%return Text
%end
%return Boolean
%end

%function YesNo v
%begin
%if {v} == 1
%begin
%return oui
%end
%return non
%end

%function PyConverter t
%begin
%if {t} == 0
%begin
%return to_int
%end
%if {t} == 1
%begin
%return to_decimal
%end
%if {t} == 7
%begin
%return to_bool
%end
%return to_text
%end

%-- The table of the description with its schema, as PostgreSQL names it ("public" without a
%-- schema). Names are always written through an escaping form: a name may hold any character.
%function PgTable
%begin
%if {desc.schemaname:len} == 0
%begin
%return "public".{table.name:sqlident}
%end
%return {desc.schemaname:sqlident}.{table.name:sqlident}
%end

%-- The same for SQL Server ("dbo" without a schema).
%function MssqlTable
%begin
%if {desc.schemaname:len} == 0
%begin
%return [dbo].{table.name:mssqlident}
%end
%return {desc.schemaname:mssqlident}.{table.name:mssqlident}
%end
