%templatetype MorvexFylatek.Template
%-- SQL Server: the table of the description, its primary key and its indexes. Every name goes
%-- through an escaping form ({name:mssqlident}): whatever it holds, it stays one identifier,
%-- and no name can put a GO line into the script.
%include morvex_sql
%targetfilename {table.name}.mssql.sql
% sp = "    "
-- Table {table.name:line} of the project {project.name:line}
%writeln CREATE TABLE %MssqlTable: (
%for_each_column
%begin
%if {column.position} > 1
%begin
%writeln ,
%end
%if {column.type} == 0
%begin
%write {sp}{column.name:mssqlident} %MssqlIntegerType {column.length}:
%end
%if {column.type} > 0
%begin
%write {sp}{column.name:mssqlident} {column.sqltype}
%end
%if {column.isnotnull} == 1
%begin
%write {eol} NOT NULL
%end
%if {column.isnotnull} == 0
%begin
%write {eol} NULL
%end
%end
% pkn = 0
%for_each_pk_column
%begin
%if {pkn} == 0
%begin
%writeln ,
%if {primary_key.name:len} > 0
%begin
%write {sp}CONSTRAINT {primary_key.name:mssqlident} PRIMARY KEY (
%end
%else
%begin
%write {sp}PRIMARY KEY (
%end
%end
%if {pkn} > 0
%begin
%write , 
%end
%write {thispkcol.name:mssqlident}
% pkn = pkn + 1
%end
%if {pkn} > 0
%begin
%write )
%end
%writeln
);
GO
%for_each_index
%begin
%write CREATE INDEX {thisindex.name:mssqlident} ON %MssqlTable: (
%for_each_idx_column
%begin
%write {thisidxcol.name:mssqlident}
%if {thisidxcol.islast} == 0
%begin
%write , 
%end
%end
%writeln );
GO
%end
