%templatetype MorvexFylatek.Template
%-- PostgreSQL: the table of the description, its primary key and its indexes.
%include morvex_sql
%targetfilename {table.name}.postgresql.sql
% sp = "    "
% schema = "{desc.schemaname}"
% ownschema = 1
%if "{desc.schemaname}" == ""
%begin
% schema = "public"
% ownschema = 0
%end
-- Table {table.name} of the project {project.name}
%if {ownschema} == 1
%begin
CREATE SCHEMA IF NOT EXISTS "{schema}";
%end
CREATE TABLE IF NOT EXISTS "{schema}"."{table.name}" (
%for_each_column
%begin
%if {column.position} > 1
%begin
%writeln ,
%end
%write {sp}"{column.name}" %PgType {column.type}, {column.length}, {column.precision}:
%if {column.isnotnull} == 1
%begin
%write {eol} NOT NULL
%end
%end
% pkn = 0
%for_each_pk_column
%begin
%if {pkn} == 0
%begin
%writeln ,
%write {sp}PRIMARY KEY (
%end
%if {pkn} > 0
%begin
%write , 
%end
%write "{thispkcol.name}"
% pkn = pkn + 1
%end
%if {pkn} > 0
%begin
%write )
%end
%writeln
);
%for_each_index
%begin
%write CREATE INDEX IF NOT EXISTS "{thisindex.name}" ON "{schema}"."{table.name}" (
%for_each_idx_column
%begin
%write "{thisidxcol.name}"
%if {thisidxcol.islast} == 0
%begin
%write , 
%end
%end
%writeln );
%end
